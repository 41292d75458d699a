# shellcheck shell=bash disable=SC2034
# Shared helpers of the project scripts: package installation and quiet steps.
# Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# The build folder of scripts/run, scripts/fps and scripts/check-install:
# PATCHVIEW_BUILD_DIR (relative to the current folder) keeps a second one
# apart from build/.
BUILD_DIR="${PATCHVIEW_BUILD_DIR:-$ROOT/build}"
[[ "$BUILD_DIR" == /* ]] || BUILD_DIR="$PWD/$BUILD_DIR"

# Debian packages the project needs, by purpose.
# The recorder draws through EGL with Mesa (a GPU's driver or the software
# renderer) and writes PNG and GIF files.
BUILD_PACKAGES=(g++ make cmake pkg-config libgtest-dev libgmock-dev
    libgl1-mesa-dev libglu1-mesa-dev freeglut3-dev
    libegl-dev libopengl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev libgif-dev)
# What the tests drive and inspect the programs with (man checks the pages).
# exFAT (through FUSE, on a loop device) is the file system without exchange or
# hard links that the writer's tests try when the machine allows.
TEST_PACKAGES=(python3 imagemagick man-db exfat-fuse exfatprogs)
# A private X server for the real window, and the tools that find, drive and
# photograph it.
WINDOW_PACKAGES=(xvfb xdotool imagemagick libgl1-mesa-dri python3)
BENCH_PACKAGES=(libbenchmark-dev)
# The web page: Emscripten (with Debian's acorn for its optimiser) builds it;
# headless Chromium, driven through WebDriver, runs it in the tests and in
# scripts/web-speed. The tests also run it in Firefox ESR, through WebDriver
# BiDi (npm's puppeteer-core, ensure_web_test_modules), and in WebKitGTK's
# MiniBrowser through WebDriver, these two in a private X server, where
# xdotool gives Firefox's window the focus.
WEB_BUILD_PACKAGES=(emscripten node-acorn cmake make)
WEB_TEST_PACKAGES=(chromium chromium-driver python3-selenium imagemagick)
WEB_ENGINE_PACKAGES=(firefox-esr webkit2gtk-driver xvfb xdotool)
# Debian's Python, the one that python3-selenium is installed for.
DEBIAN_PYTHON=/usr/bin/python3
# What scripts/package builds the Debian package with: CPack finds the
# programs with file and their libraries with dpkg-shlibdeps; the hardening
# flags come from dpkg-buildflags; gzip compresses the documents.
PACKAGE_PACKAGES=(dpkg-dev file gzip)
# What scripts/check-package checks it with (and debootstrap for the
# brand-new Debian of its --fresh).
CHECK_PACKAGE_PACKAGES=(lintian)

die() {
    echo "error: $*" >&2
    exit 1
}

# Installs whichever of the given packages are missing; silent when none is.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        die "missing Debian packages: ${missing[*]} (run as root, or install them with apt-get)"
    fi
    echo "installing: ${missing[*]}"
    local log
    log="$(mktemp)"
    if ! { apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        die "apt-get could not install: ${missing[*]}"
    fi
    rm -f "$log"
}

# Installs the npm packages of the browser tests (tests/web/package.json) as
# their lock file pins them, when they are missing or older than it; npm
# itself from Debian when there is none.
ensure_web_test_modules() {
    local dir="$ROOT/tests/web"
    command -v npm >/dev/null || ensure_packages npm
    [ "$dir/node_modules/.package-lock.json" -nt "$dir/package-lock.json" ] && return 0
    quietly "installing the browser tests' npm packages" \
        npm ci --prefix "$dir" --ignore-scripts --no-audit --no-fund
}

# Runs a command with its output kept in a log that is shown only on failure.
quietly() {
    local what="$1"
    shift
    local log
    log="$(mktemp)"
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        die "$what failed"
    fi
    rm -f "$log"
}

# Configures and builds the tree in the given build folder with the given
# extra CMake options.
configure_and_build() {
    local dir="$1"
    shift
    quietly "configuring" cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    quietly "building" cmake --build "$dir" -j "$(nproc)"
}
