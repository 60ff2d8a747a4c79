#!/usr/bin/env bash
# Builds the Debian package of Tessaly and checks it as an installation meets it: lintian; the
# control data and the list of files; an install into a scratch root with dpkg, whose postinst must
# give the program its capability there (and only warn where it cannot); the desktop entry, the
# AppStream data and the icons as installed; a reinstall and a removal; and the installed program,
# started as an unprivileged user in a network namespace that reaches nothing but loopback, must
# send its echo requests to 127.0.0.1 with the capability alone. The install needs root.
#
#   packaging/test-package.sh [--no-run]
#
#   --no-run   leave out the run of the installed program
#
# The package is left at build-pkg/packages/ (TESSALY_PACKAGE_BUILD names another build folder).
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/common.sh"
source "$TESSALY_ROOT/scripts/lib/packages.sh"
source "$TESSALY_ROOT/scripts/lib/netns.sh"
source "$TESSALY_ROOT/packaging/lib/checks.sh"
source "$TESSALY_ROOT/packaging/lib/icmp_counters.sh"

want_run=1
for argument in "$@"; do
    case $argument in
    --no-run) want_run=0 ;;
    -h | --help)
        sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *) tessaly_die "unknown argument: $argument (try --help)" ;;
    esac
done

build=${TESSALY_PACKAGE_BUILD:-$TESSALY_ROOT/build-pkg}
app_id=io.github.tessaly.Tessaly
icon_sizes=(16 22 24 32 48 64 128 256)

tessaly_ensure_packages "${TESSALY_PACKAGES_BUILD[@]}" dpkg-dev lintian desktop-file-utils \
    appstream librsvg2-bin imagemagick libcap2-bin iproute2 ||
    tessaly_die "could not install what the package test needs"

# ---- Build --------------------------------------------------------------------------------------

# Built as Debian builds its packages: with the hardening flags of dpkg-buildflags.
debian_flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
build_package() {
    local flags link_flags
    flags="$(debian_flags CXXFLAGS) $(debian_flags CPPFLAGS)" || return 1
    link_flags=$(debian_flags LDFLAGS) || return 1
    tessaly_build "$build" -- -DTESSALY_BUILD_TESTS=OFF "-DCMAKE_CXX_FLAGS=$flags" \
        "-DCMAKE_EXE_LINKER_FLAGS=$link_flags" || return 1
    rm -f "$build"/packages/*.deb
    (cd "$build" && cpack -G DEB -B "$build/packages") >"$build/cpack.log" 2>&1 || {
        cat "$build/cpack.log" >&2
        return 1
    }
}
build_package || tessaly_die "the package did not build"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/packages/tessaly_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || tessaly_die "cpack made no $deb"
tessaly_say "checking $deb"

# ---- The package as a file ----------------------------------------------------------------------

lintian_is_clean() {
    # Errors and warnings fail; what lintian only mentions (I:) is shown.
    lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" \
        >"$build/lintian.log" 2>&1
    local status=$?
    grep -v 'running with root privileges' "$build/lintian.log" >&2
    return "$status"
}
check "lintian finds no error and no warning" lintian_is_clean

field() { dpkg-deb -f "$deb" "$1"; }
check "the package is named tessaly" test "$(field Package)" = tessaly
check "its version is the project's ($version)" test "$(field Version)" = "$version"
check "it is in section net" test "$(field Section)" = net

# The Depends line comes from shlibdeps plus our own libcap2-bin: each library the program links
# must be there, or a fresh desktop installs a program that does not start.
depends_on() { field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$1"; }
for dependency in libcap2-bin libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libasound2; do
    check "it depends on $dependency" depends_on "$dependency"
done

expected_files() {
    printf '%s\n' /usr/bin/tessaly "/usr/share/applications/$app_id.desktop" \
        "/usr/share/metainfo/$app_id.metainfo.xml" /usr/share/man/man1/tessaly.1.gz \
        /usr/share/doc/tessaly/copyright /usr/share/doc/tessaly/changelog.gz \
        "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    local size
    for size in "${icon_sizes[@]}"; do
        printf '/usr/share/icons/hicolor/%sx%s/apps/%s.png\n' "$size" "$size" "$app_id"
    done
}
package_files() { dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|'; }
holds_exactly_the_expected_files() {
    diff <(expected_files | sort) <(package_files | sort) >&2
}
check "it holds exactly the program, its desktop files and its documents" \
    holds_exactly_the_expected_files

has_executable_postinst() {
    local scratch
    scratch=$(mktemp -d) || return 1
    dpkg-deb -e "$deb" "$scratch/control" && [[ -x $scratch/control/postinst ]]
    local status=$?
    rm -rf "$scratch"
    return "$status"
}
check "its postinst is executable" has_executable_postinst

# ---- Installed into a scratch root --------------------------------------------------------------

if ! tessaly_is_root; then
    skip "the install into a scratch root" "it needs root (the files are root's; setcap)"
    checks_summary package
    exit
fi

scratch=$(mktemp -d /tmp/tessaly-package.XXXXXX) || tessaly_die "no scratch folder"
tessaly_on_exit rm -rf "$scratch"
# The run as an unprivileged user must reach the installed program.
chmod 755 "$scratch"

# A root with an empty dpkg database of its own. Its maintainer scripts run outside a chroot
# (there is no shell inside), so the postinst must find the program through DPKG_ROOT.
new_root() {
    local root=$scratch/$1
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
    : >"$root/var/lib/dpkg/status"
    printf '%s\n' "$root"
}
scratch_dpkg() {
    local root=$1
    shift
    dpkg --root="$root" --log="$root/dpkg.log" --force-script-chrootless --force-depends "$@"
}

root=$(new_root main)
installs() {
    scratch_dpkg "$root" -i "$deb" >"$scratch/install.log" 2>&1 || {
        cat "$scratch/install.log" >&2
        false
    }
}
check "dpkg installs it into a scratch root" installs

has_net_raw() { getcap "$1" | grep -q 'cap_net_raw=ep$'; }
check "the postinst gave the program cap_net_raw" has_net_raw "$root/usr/bin/tessaly"
mode_is() { [[ $(stat -c '%a %U:%G' "$2") == "$1" ]]; }
check "the program is 0755 root:root and not setuid" mode_is "755 root:root" "$root/usr/bin/tessaly"

links_everything() { ! ldd "$root/usr/bin/tessaly" | grep 'not found' >&2; }
check "every library the program links is found" links_everything

check "desktop-file-validate accepts the desktop entry" \
    desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
desktop_key() { sed -n "s/^$1=//p" "$root/usr/share/applications/$app_id.desktop"; }
check "the desktop entry starts the installed program" test -x "$root/usr/bin/$(desktop_key Exec)"
check "the desktop entry names the installed icon" test "$(desktop_key Icon)" = "$app_id"

# validate-tree checks the metadata together with the desktop entry and the icons it finds.
appstream_is_valid() {
    appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$app_id.metainfo.xml" >&2 &&
        appstreamcli validate-tree --no-net "$root" >&2
}
check "appstreamcli accepts the AppStream data" appstream_is_valid
appstream_release() {
    grep -o '<release version="[^"]*"' "$root/usr/share/metainfo/$app_id.metainfo.xml"
}
check "the AppStream release is the about box's version" \
    test "$(appstream_release)" = "<release version=\"${version%.*}\""

png_is_square() {
    local file=$root/usr/share/icons/hicolor/${1}x$1/apps/$app_id.png
    [[ $(identify -format '%m %wx%h %[channels]' "$file") == "PNG ${1}x$1 srgba" ]]
}
for size in "${icon_sizes[@]}"; do
    check "the ${size}-pixel icon is a ${size}x$size PNG with alpha" png_is_square "$size"
done

# The SVG is drawn by hand; rendered, it must look like the artwork the program draws. Antialiased
# edges may differ a little, so count only the pixels that differ clearly.
svg_matches_artwork() {
    local icons=$root/usr/share/icons/hicolor rendered=$scratch/svg-128.png differing
    rsvg-convert -w 128 -h 128 -o "$rendered" "$icons/scalable/apps/$app_id.svg" || return 1
    local png=$icons/128x128/apps/$app_id.png
    # compare's exit status 1 means "they differ", which is for the count to judge.
    differing=$(compare -metric AE -fuzz 10% "$rendered" "$png" null: 2>&1) || [[ $? -eq 1 ]] ||
        return 1
    tessaly_say "the SVG at 128 pixels differs clearly from the artwork in $differing of 16384"
    ((${differing%.*} < 164))  # 1 %
}
check "the scalable icon matches the artwork" svg_matches_artwork

man_page_renders() {
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$root/usr/share/man/man1/tessaly.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || { printf '%s\n' "$warnings" >&2; false; }
}
check "the manual page renders without warnings" man_page_renders

# dpkg replaces the file on a reinstall, and a new file has no capability until the postinst runs.
reinstalls() { scratch_dpkg "$root" -i "$deb" >"$scratch/reinstall.log" 2>&1; }
check "a reinstall succeeds" reinstalls
check "after the reinstall the program has cap_net_raw again" has_net_raw "$root/usr/bin/tessaly"

# Where setcap fails (a file system without extended attributes) the install must still succeed
# and say what the user can do instead.
failing_setcap_root=$(new_root no-xattr)
mkdir -p "$scratch/failing-setcap"
printf '#!/bin/sh\necho "Failed to set capabilities on file" >&2\nexit 1\n' \
    >"$scratch/failing-setcap/setcap"
chmod 755 "$scratch/failing-setcap/setcap"
installs_despite_setcap() {
    PATH="$scratch/failing-setcap:$PATH" scratch_dpkg "$failing_setcap_root" -i "$deb" \
        >"$scratch/no-xattr.log" 2>&1
}
check "with setcap failing the install still succeeds" installs_despite_setcap
check "with setcap failing the postinst names the ping socket setting" \
    grep -q 'ping_group_range' "$scratch/no-xattr.log"
check "with setcap failing the program is installed without the capability" \
    bash -c "! getcap '$failing_setcap_root/usr/bin/tessaly' | grep -q cap_net_raw"

# ---- The installed program, run as a user -------------------------------------------------------

no_capability_left() {
    local task
    for task in /proc/"$1"/task/*; do
        grep -Eq '^CapEff:[[:space:]]+0+$' "$task/status" || return 1
        grep -Eq '^CapPrm:[[:space:]]+0+$' "$task/status" || return 1
    done
}

run_installed_program() {
    local namespace config runtime program_pid
    namespace=$(tessaly_netns_name p)
    tessaly_netns_loopback "$namespace" || return 1
    # A new namespace allows ping sockets to no group, so only the capability can open a socket.
    check "the namespace allows no ping sockets" \
        test "$(ip netns exec "$namespace" cat /proc/sys/net/ipv4/ping_group_range)" = $'1\t0'
    config=$scratch/config runtime=$scratch/runtime
    mkdir -p "$config" "$runtime" && chmod 700 "$runtime" &&
        chown nobody:nogroup "$config" "$runtime"
    # A fresh settings folder: the program probes its default target, 127.0.0.1.
    ip netns exec "$namespace" setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$config" XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=offscreen \
        XDG_RUNTIME_DIR="$runtime" "$root/usr/bin/tessaly" >"$scratch/program.log" 2>&1 &
    program_pid=$!
    tessaly_on_exit tessaly_stop_pid "$program_pid"
    check "the installed program, run as nobody, sends echo requests that are answered" \
        tessaly_wait_for 60 "answered echo requests" tessaly_echoes_answered "$namespace"
    check "the program runs as nobody" test "$(stat -c %U "/proc/$program_pid")" = nobody
    check "the program gave the capability up once its socket was open" \
        no_capability_left "$program_pid"
    tessaly_stop_pid "$program_pid"
}

if [[ $want_run -eq 0 ]]; then
    skip "the run of the installed program" "--no-run"
else
    run_installed_program
fi

# ---- Removal ------------------------------------------------------------------------------------

removes() { scratch_dpkg "$root" --purge tessaly >"$scratch/remove.log" 2>&1; }
check "dpkg removes and purges it" removes
nothing_left() {
    local left
    left=$(cd "$root" && find usr -not -type d 2>/dev/null)
    [[ -z $left ]] || { printf 'left behind: %s\n' "$left" >&2; false; }
}
check "the removal leaves none of its files" nothing_left

checks_summary package
