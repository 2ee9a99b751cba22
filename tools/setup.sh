#!/usr/bin/env bash
# Shared by ./run and ./test: install what is missing, configure, build.
# With --test it also installs what only the tests need (./test passes it).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${LW_BUILD_DIR:-$ROOT/build}"

PACKAGES=(cmake g++ ninja-build ccache pkg-config
          qt6-base-dev qt6-pdf-dev qt6-svg-dev qt6-qpa-plugins qt6-image-formats-plugins
          libqpdf-dev libheif-dev libcups2-dev zlib1g-dev libjpeg62-turbo-dev
          libgtest-dev libbenchmark-dev poppler-utils xvfb xauth lld)

# A second PDF reader for the fidelity tests; clang and its sanitizer runtime for the fuzz and
# sanitizer step of ./test; desktop-file-validate and update-desktop-database for the desktop
# integration test. The print step's scheduler is unpacked, not installed (fetch_scheduler).
TEST_PACKAGES=(mupdf-tools clang libclang-rt-14-dev desktop-file-utils)
TESTING=""
if [ "${1:-}" = --test ]; then
    PACKAGES+=("${TEST_PACKAGES[@]}")
    TESTING=1
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# shellcheck source=stages.sh
source "$ROOT/tools/stages.sh"

install_missing() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    # npm fetches the bundled fonts and symbol images at build time; any install of it will do.
    command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
        $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
    fi
    if [ ! -f "$BUILD/build.ninja" ]; then
        cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
}

# The print step's scheduler (tools/printer-check.sh) where CUPS is not installed: unpacked into
# the build folder, never installed (fetch_scheduler).
# shellcheck source=private-cupsd.sh
source "$ROOT/tools/private-cupsd.sh"

set_up() {
    install_missing
    if [ -n "$TESTING" ]; then fetch_scheduler; fi
}

stage set-up set_up
stage build cmake --build "$BUILD" --parallel "$(nproc)"
