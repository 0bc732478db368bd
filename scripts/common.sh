# Shared by scripts/run, scripts/test and the documentation scripts: package
# installation and the environment Qt needs to stay quiet. Sourced, not run.

VEMBA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

say() { printf '%s: %s\n' "$(basename "$0")" "$*"; }
die() { say "$*" >&2; exit 1; }

# Packages of the given groups of scripts/packages.txt (or of the list that
# VEMBA_PACKAGE_LIST names, for the package check's own test).
vemba_packages() {
    awk -v want=" $* " '
        /^[[:space:]]*(#|$)/ { next }
        /^\[.*\]$/ { group = substr($0, 2, length($0) - 2); next }
        index(want, " " group " ") { print $1 }
    ' "${VEMBA_PACKAGE_LIST:-$VEMBA_ROOT/scripts/packages.txt}"
}

vemba_missing_packages() {
    local pkg
    for pkg in $(vemba_packages "$@"); do
        dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$' ||
            printf '%s\n' "$pkg"
    done
}

# apt waits for a lock held by another apt rather than failing at once.
vemba_apt() {
    local tries=0
    until $VEMBA_SUDO env DEBIAN_FRONTEND=noninteractive \
        apt-get -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3 "$@"; do
        tries=$((tries + 1))
        [ "$tries" -lt 5 ] || return 1
        say "apt-get $1 failed; trying again in 10 s"
        sleep 10
    done
}

vemba_install() {
    local missing
    missing=$(vemba_missing_packages "$@")
    [ -n "$missing" ] || return 0
    if [ "$(id -u)" -eq 0 ]; then
        VEMBA_SUDO=
    elif command -v sudo >/dev/null; then
        VEMBA_SUDO=sudo
    else
        die "missing packages and no sudo to install them:" $missing
    fi
    say "installing" $missing
    vemba_apt -qq update >/dev/null || die "apt-get update failed"
    # shellcheck disable=SC2086
    vemba_apt -qq install -y --no-install-recommends $missing >/dev/null ||
        die "could not install:" $missing
}

# Qt warns about a non-UTF-8 locale and a missing runtime directory.
vemba_quiet_qt_env() {
    case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
    *UTF-8* | *utf8*) ;;
    *) export LC_ALL=C.UTF-8 ;;
    esac
    if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
        XDG_RUNTIME_DIR="${TMPDIR:-/tmp}/vemba-runtime-$(id -u)"
        mkdir -p "$XDG_RUNTIME_DIR"
        chmod 700 "$XDG_RUNTIME_DIR"
        export XDG_RUNTIME_DIR
    fi
}

# Configures once, then rebuilds only what changed: everything, or the
# targets named after the preset. "--dir DIR" first builds the preset in DIR
# (relative to the source tree) instead of build/<preset>.
vemba_build() {
    local dir=
    if [ "${1:-}" = --dir ]; then
        dir=$2
        shift 2
    fi
    local preset=$1
    shift
    dir=${dir:-build/$preset}
    cd "$VEMBA_ROOT" || exit 1
    if [ ! -f "$dir/build.ninja" ]; then
        mkdir -p build
        cmake --preset "$preset" -B "$dir" >/dev/null 2>"$VEMBA_ROOT/build/configure-$preset.log" ||
            { cat "$VEMBA_ROOT/build/configure-$preset.log" >&2; die "configure ($preset) failed"; }
    fi
    local log
    log=$(mktemp)
    # Quiet when all is well; the whole log when the build fails.
    if ! cmake --build "$dir" ${1:+--target "$@"} >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        die "build ($preset) failed"
    fi
    rm -f "$log"
}
