# Shared by scripts/run and scripts/test: install what is missing, configure, build.
# Sourced, not run.

QUILLET_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What each is for: build tools; Qt 6 Widgets (its CMake files look for the GL headers);
# tests and benchmarks; the demo slave; quillet-cli's command line and JSON; the X server that scripts/screenshot and the start-up
# benchmark draw on (xvfb-run needs xauth); the formatting check in .ci/run; the caption font;
# building and checking the Debian package; a decimal-comma locale for the tests that numbers
# do not follow the locale; xmllint, which validates quillet-cli's JUnit files in the tests.
QUILLET_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev qt6-serialport-dev
    libgtest-dev libbenchmark-dev
    libmodbus-dev
    libcli11-dev nlohmann-json3-dev
    xvfb xauth
    clang-format
    fonts-liberation2
    dpkg-dev lintian desktop-file-utils appstream
    locales
    libxml2-utils
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "quillet: need root or sudo to install: $*" >&2
        return 1
    fi
}

install_missing() {
    local missing=()
    for p in "${QUILLET_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "quillet: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# The tests' decimal-comma locale, made once from the locales package's sources.
ensure_test_locale() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
}

# build DIR BUILD_TYPE [cmake options...]
build() {
    local dir=$1 type=$2
    shift 2
    cmake -S "$QUILLET_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

# start_demo_slave SIM [STDERR-FILE [ARGS...]]: starts the demo slave on a new pty (and on
# the network links ARGS ask for: --tcp 0 ...); sets sim_pid, sim_port (the pty's path) and
# sim_links (each network link's address, in the order asked). Without a file its messages
# go where the caller's stderr goes. Gives up when the slave ends, or after 20 s, without the
# path. The caller stops it with: kill "$sim_pid"
start_demo_slave() {
    local sim=$1 errors=${2:-/dev/stderr} fifo link
    shift $(($# < 2 ? $# : 2))
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    "$sim" "$@" >"$fifo" 2>"$errors" &
    sim_pid=$!
    # Opened read-write so the open itself never blocks on a slave that died before writing.
    exec {sim_fd}<>"$fifo"
    rm -f "$fifo"
    local waited=0
    sim_port=
    while [ -z "$sim_port" ] && [ $waited -lt 20 ] && kill -0 "$sim_pid" 2>/dev/null; do
        read -r -t 1 sim_port <&"$sim_fd" || true
        waited=$((waited + 1))
    done
    if [ -z "$sim_port" ]; then
        exec {sim_fd}<&-
        kill "$sim_pid" 2>/dev/null || true
        echo "quillet: the demo slave gave no pty path; it did not start" >&2
        return 1
    fi
    sim_links=()
    while [ ${#sim_links[@]} -lt $(($# / 2)) ] && read -r -t 5 link <&"$sim_fd"; do
        sim_links+=("$link")
    done
    exec {sim_fd}<&-
}
