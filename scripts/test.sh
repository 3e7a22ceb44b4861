#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite with CTest.
# GUI tests run in real windows, under Xvfb when there is no display.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
install_missing_packages
configure_and_build "$@"
with_display ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
