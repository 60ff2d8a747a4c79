# Debian packages the project needs, by purpose, and their installation: only what is missing,
# without questions and without recommended extras.  Sourced after common.sh.

# shellcheck disable=SC2034  # the lists are used by the scripts that source this file

TESSALY_PACKAGES_BUILD=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest
    qt6-base-dev libasound2-dev)
TESSALY_PACKAGES_DESKTOP=(xvfb trayer xdotool imagemagick x11-utils fonts-dejavu-core python3)
TESSALY_PACKAGES_NETWORK=(iproute2 fping libcap2-bin procps)
# The reliability tests: packet captures, the clipboard for pastes, setpriv to run as nobody,
# xprop, and the X headers and libraries of their caption recorder.
TESSALY_PACKAGES_RELIABILITY=(tcpdump xclip util-linux x11-utils g++ libx11-dev libxtst-dev)
# wine32 is never wanted: wine64 recommends it, and this machine runs no 32-bit code.
TESSALY_PACKAGES_WINDOWS=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 fonts-wine)
TESSALY_PACKAGES_FORBIDDEN=(wine32)

tessaly_package_installed() {
    [[ $(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null) == installed ]]
}

# Prints the packages of the arguments that are not installed, one a line.
tessaly_missing_packages() {
    local package
    for package in "$@"; do
        tessaly_package_installed "$package" || printf '%s\n' "$package"
    done
}

_tessaly_apt_updated=0

# Fails when installing the packages would also bring in a forbidden one.
_tessaly_refuse_forbidden() {
    local plan forbidden
    plan=$(tessaly_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -s -y \
        --no-install-recommends "$@") || return 1
    for forbidden in "${TESSALY_PACKAGES_FORBIDDEN[@]}"; do
        if grep -q "^Inst ${forbidden}[ :]" <<<"$plan"; then
            tessaly_warn "installing $* would bring in $forbidden; refusing"
            return 1
        fi
    done
}

# tessaly_ensure_packages PACKAGE...: installs those that are missing.
tessaly_ensure_packages() {
    local missing
    mapfile -t missing < <(tessaly_missing_packages "$@")
    [[ ${#missing[@]} -eq 0 ]] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        tessaly_warn "missing packages and no apt-get: ${missing[*]}"
        return 1
    fi
    tessaly_say "installing ${missing[*]}"
    if [[ $_tessaly_apt_updated -eq 0 ]]; then
        tessaly_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q || return 1
        _tessaly_apt_updated=1
    fi
    _tessaly_refuse_forbidden "${missing[@]}" || return 1
    tessaly_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -q -y \
        --no-install-recommends "${missing[@]}" </dev/null
}
