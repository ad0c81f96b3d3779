# Shared steps of scripts/run, scripts/test and scripts/bench: install what is
# missing, then configure and build into the given folder.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Lets ccache share objects between clones of the repository in different folders: paths are
# taken relative to the clone, and the build folder's own path is left out of the key (it would
# otherwise enter it through the debug information).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_packages [LIST]: the packages of LIST (scripts/packages.txt by default) that are missing.
install_packages() {
    local list="${1:-$ROOT/scripts/packages.txt}"
    local wanted=() missing=()
    mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$list")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        # Another install running at the same time is waited for rather than failing this one.
        local wait_lock=(-o DPkg::Lock::Timeout=600)
        as_root apt-get "${wait_lock[@]}" update -qq
        # The tests start their own servers (nginx, a proxy) on free loopback ports; the packages'
        # system services must not start, or take port 80, or fail the install where it is taken.
        local policy=/usr/sbin/policy-rc.d made_policy=0
        if [ ! -e "$policy" ]; then
            printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
            as_root chmod 755 "$policy"
            made_policy=1
        fi
        local status=0
        as_root env DEBIAN_FRONTEND=noninteractive apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends \
            "${missing[@]}" ||
            status=$?
        [ "$made_policy" -eq 1 ] && as_root rm -f "$policy"
        return "$status"
    fi
}

# build_into DIR [extra cmake arguments...]
build_into() {
    local dir="$1"; shift
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$ROOT" -B "$dir" -G Ninja "${launcher[@]}" "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
