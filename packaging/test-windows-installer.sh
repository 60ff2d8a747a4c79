#!/usr/bin/env bash
# Builds the Windows packages (the zips and the installers) and checks them: the zips and the
# 32-bit installer by their contents; the 64-bit installer under wine64 in a fresh prefix, as a
# person would use it: a silent install, the installed program started (it probes only its
# default target, 127.0.0.1, from a network namespace that reaches nothing but loopback) and
# closed, the start with Windows chosen and kept on an update, and a silent uninstall, which must
# remove everything it installed and leave the user's settings under HKCU\Software\Dovrel.
#
#   packaging/test-windows-installer.sh
#
# The programs are built into build-pkg-win32/ and build-pkg-win64/ unless TESSALY_WINDOWS_I686_EXE
# and TESSALY_WINDOWS_X86_64_EXE name programs built already; the packages go to
# build-pkg/windows-packages/.  Skips, and says why, without the MinGW-w64 compilers, makensis,
# wine64 or root (for the network namespace).
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/common.sh"
source "$TESSALY_ROOT/scripts/lib/packages.sh"
source "$TESSALY_ROOT/scripts/lib/netns.sh"
source "$TESSALY_ROOT/scripts/lib/display.sh"
source "$TESSALY_ROOT/packaging/lib/checks.sh"
source "$TESSALY_ROOT/packaging/lib/wine.sh"
source "$TESSALY_ROOT/packaging/lib/icmp_counters.sh"

case ${1:-} in
-h | --help)
    sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
"") ;;
*) tessaly_die "unknown argument: $1 (try --help)" ;;
esac

host_build=${TESSALY_PACKAGE_BUILD:-$TESSALY_ROOT/build-pkg}
artifacts=$host_build/windows-installer-artifacts

skip_all() {
    skip "the Windows packages" "$1"
    checks_summary installer
    exit 0
}

# ---- What the test needs ------------------------------------------------------------------------

tessaly_ensure_packages nsis p7zip-full unzip || tessaly_warn "could not install nsis, 7z or unzip"
command -v makensis >/dev/null || skip_all "there is no makensis (Debian's nsis)"
[[ -x $TESSALY_WINE64 ]] || skip_all "there is no $TESSALY_WINE64 (Debian's wine64)"
tessaly_is_root || skip_all "the Wine run needs root for its network namespace"

# Builds one of the two programs into build-pkg-<name>, or names the one given.
windows_program() {
    local given=$1 name=$2 toolchain=$3
    if [[ -n $given ]]; then
        [[ -f $given ]] && printf '%s\n' "$given"
        return
    fi
    command -v "${toolchain}-w64-mingw32-g++-posix" >/dev/null || return 1
    local dir=$TESSALY_ROOT/build-pkg-$name
    # What is shipped is built for release, without debugging information.
    TESSALY_BUILD_TYPE=Release tessaly_build "$dir" tessaly -- -DTESSALY_BUILD_TESTS=OFF \
        "-DCMAKE_TOOLCHAIN_FILE=$TESSALY_ROOT/cmake/mingw-$toolchain.cmake" >&2 || return 1
    printf '%s\n' "$dir/Tessaly.exe"
}
exe_i686=$(windows_program "${TESSALY_WINDOWS_I686_EXE:-}" win32 i686) ||
    skip_all "no 32-bit Windows build (MinGW-w64 i686 compiler missing, or the build failed)"
exe_x86_64=$(windows_program "${TESSALY_WINDOWS_X86_64_EXE:-}" win64 x86_64) ||
    skip_all "no 64-bit Windows build (MinGW-w64 x86_64 compiler missing, or the build failed)"

tessaly_build "$host_build" windows_packages -- -DTESSALY_BUILD_TESTS=OFF \
    "-DTESSALY_WINDOWS_I686_EXE=$exe_i686" "-DTESSALY_WINDOWS_X86_64_EXE=$exe_x86_64" ||
    tessaly_die "the Windows packages did not build"

# The packages carry the programs stripped of their debugging information.
shipped_i686=$host_build/packaging/windows/shipped-win32/Tessaly.exe
shipped_x86_64=$host_build/packaging/windows/shipped-win64/Tessaly.exe
about_version=$(grep -o '"Tessaly Version [0-9.]*"' "$TESSALY_ROOT/res/dialogs.cpp" | tr -d '"')
about_version=${about_version#Tessaly Version }
packages=$host_build/windows-packages
setup=$packages/Tessaly-$about_version-setup.exe
setup_x64=$packages/Tessaly-$about_version-x64-setup.exe
for file in "$shipped_i686" "$shipped_x86_64" "$setup" "$setup_x64" \
    "$packages/Tessaly-$about_version-win32.zip" "$packages/Tessaly-$about_version-win64.zip"; do
    [[ -f $file ]] || tessaly_die "the build made no $file"
done

scratch=$(mktemp -d /tmp/tessaly-windows.XXXXXX) || tessaly_die "no scratch folder"
tessaly_on_exit rm -rf "$scratch"
mkdir -p "$artifacts"

# ---- The packages as files ----------------------------------------------------------------------

zip_holds_the_program() {
    local zip=$1 exe=$2 folder
    folder=$(basename "$zip" .zip)
    [[ $(unzip -Z1 "$zip" | grep -v '/$') == "$folder/Tessaly.exe" ]] || return 1
    unzip -p "$zip" "$folder/Tessaly.exe" | cmp - "$exe"
}
check "the 32-bit zip holds just the 32-bit program" \
    zip_holds_the_program "$packages/Tessaly-$about_version-win32.zip" "$shipped_i686"
check "the 64-bit zip holds just the 64-bit program" \
    zip_holds_the_program "$packages/Tessaly-$about_version-win64.zip" "$shipped_x86_64"

# The 32-bit installer cannot run here (no 32-bit code runs on this machine); 7-Zip reads it.
installer_programs() {
    local folder=$scratch/unpacked-${1##*/}
    7z x -y -aou -o"$folder" "$1" >"$folder.log" 2>&1 || return 1
    find "$folder" -iname 'Tessaly*.exe' -exec sha256sum {} + | cut -d' ' -f1 | sort
}
carries_programs() {
    local installer=$1
    shift
    diff <(installer_programs "$installer") <(sha256sum "$@" | cut -d' ' -f1 | sort) >&2
}
if command -v 7z >/dev/null; then
    check "the installer carries both programs" \
        carries_programs "$setup" "$shipped_i686" "$shipped_x86_64"
    check "the 64-bit installer carries the 64-bit program only" \
        carries_programs "$setup_x64" "$shipped_x86_64"
else
    skip "the programs in the installers" "there is no 7z (Debian's p7zip-full)"
fi

# ---- The 64-bit installer under Wine ------------------------------------------------------------

namespace=$(tessaly_netns_name w)
tessaly_netns_loopback "$namespace" || tessaly_die "could not make the network namespace"
tessaly_start_xvfb 1024x768 "$scratch/xvfb.log" || tessaly_die "Xvfb did not start"
tessaly_wine_start "$scratch/prefix" "$namespace" "$TESSALY_DISPLAY" "$artifacts/wine-logs" ||
    tessaly_die "the Wine prefix could not be made"

drive_c=$scratch/prefix/drive_c
install_dir="$drive_c/Program Files/Tessaly"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaly.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Dovrel\Tessaly\dovrel'

installs_silently() { tessaly_wine_run install "$setup_x64" /S "$@"; }
check "the 64-bit installer installs silently" installs_silently
check "it installed the 64-bit program" cmp "$install_dir/Tessaly.exe" "$shipped_x86_64"
check "it installed the uninstaller" test -f "$install_dir/Uninstall.exe"
check "it made the Start-menu shortcut" test -f "$shortcut"

value_is() { [[ $(tessaly_wine_reg_value "$1" "$2") == "$3" ]]; }
check "Windows lists it as Tessaly" value_is "$uninstall_key" DisplayName Tessaly
check "with the about box's version, $about_version" \
    value_is "$uninstall_key" DisplayVersion "$about_version"
check "with its folder" value_is "$uninstall_key" InstallLocation 'C:\Program Files\Tessaly'
check "with its uninstaller" \
    value_is "$uninstall_key" UninstallString '"C:\Program Files\Tessaly\Uninstall.exe"'
no_value() { ! tessaly_wine_reg_value "$1" "$2" >/dev/null; }
check "without being asked it does not start Tessaly with Windows" no_value "$run_key" Tessaly

# The installed program, from a fresh prefix, probes its default target 127.0.0.1; the namespace
# has nothing else to reach.
program_window() { DISPLAY=$TESSALY_DISPLAY xdotool search --name '^DovRel' >/dev/null; }
tessaly_wine_spawn program 'C:\Program Files\Tessaly\Tessaly.exe'
program_pid=$TESSALY_WINE_SPAWNED
check "the installed program opens its window" \
    tessaly_wait_for 120 "the program's window" program_window
check "the installed program's echo requests to 127.0.0.1 are answered" \
    tessaly_wait_for 120 "answered echo requests" tessaly_echoes_answered "$namespace"
tessaly_screenshot "$artifacts/installed-program.png" || true

# Asked to close, like a user closing the window, the program writes its settings.
closes() {
    tessaly_wine_run close taskkill /im Tessaly.exe &&
        tessaly_wait_for 60 "the program's end" tessaly_process_ended "$program_pid"
}
check "the program ends when asked to close" closes
check "and has written its settings" value_is "$settings_key" IPAddress 127.0.0.1

check "an update with /AUTOSTART succeeds" installs_silently /AUTOSTART
check "and starts Tessaly with Windows" \
    value_is "$run_key" Tessaly '"C:\Program Files\Tessaly\Tessaly.exe"'
check "a silent update without /AUTOSTART succeeds" installs_silently
check "and keeps the start with Windows chosen before" \
    value_is "$run_key" Tessaly '"C:\Program Files\Tessaly\Tessaly.exe"'

# The uninstaller copies itself away and returns at once; the copy does the work.
settings_before=$(tessaly_wine_reg_dump "$settings_key")
uninstalled() { [[ ! -e $install_dir ]] && no_value "$uninstall_key" DisplayName; }
uninstalls() {
    tessaly_wine_run uninstall 'C:\Program Files\Tessaly\Uninstall.exe' /S &&
        tessaly_wait_for 120 "the uninstaller" uninstalled
}
check "the uninstaller runs silently and removes the program's folder" uninstalls
check "it removes the Start-menu shortcut" test ! -e "$shortcut"
check "it removes the entry from the list of programs" no_value "$uninstall_key" DisplayName
check "it removes the start with Windows" no_value "$run_key" Tessaly
settings_kept() {
    local after
    after=$(tessaly_wine_reg_dump "$settings_key") || return 1
    [[ -n $settings_before && $after == "$settings_before" ]]
}
check "it leaves the user's settings under HKCU\\Software\\Dovrel as they were" settings_kept

checks_summary installer
