#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, then configures and builds.
# Sourced by run.sh and test.sh; BUILD_DIR and BUILD_TYPE may be set by the caller.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD_TYPE="${BUILD_TYPE:-Release}"

PACKAGES=(
    juce-modules-source cmake ninja-build g++ pkg-config ccache
    googletest libgtest-dev libbenchmark-dev
    xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core
    python3 python3-mido
    clang libclang-rt-14-dev
)

install_missing_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

configure_and_build() {
    # Paths below the checkout are hashed relative, so clones share the compiler cache.
    export CCACHE_BASEDIR="$ROOT"
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "$@"
    fi
    cmake --build "$BUILD_DIR" -j "$(nproc)"
}

# Runs a command with a display: the user's own, or a virtual one.
with_display() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    fi
}
