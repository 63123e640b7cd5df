#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest. On an amd64 machine it then makes the
# arm64 package (scripts/package.sh --arch arm64) and runs its programs and tests under qemu's emulator
# (MDCONFIG_ARM64=no leaves that out).
source "$(dirname "$0")/common.sh"

# socat makes the pseudo-terminal pairs the serial tests send real bytes through.
# desktop-file-utils, appstream, man-db, groff-base and bash-completion check the installed tree.
# chromium, chromium-driver, python3-selenium and zbar-tools drive and read the page for phones.
ensure_packages "${BUILD_PACKAGES[@]}" socat "${INSTALL_TEST_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}"
build_project
(cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 "$@")

if [ "${MDCONFIG_ARM64:-yes}" = no ] || [ "$(dpkg --print-architecture)" != amd64 ]; then
    exit 0
fi
# The arm64 package, cross-built with its tests; CTest runs them in its build tree through the emulator and
# names those that cannot run there (tests/CMakeLists.txt says why). emulated_run and the *_arm64_cli tests
# compare the arm64 programs with this build's.
ARM64_BUILD_DIR="${ARM64_BUILD_DIR:-$ROOT/build-package-arm64}"
PACKAGE_BUILD_DIR="$ARM64_BUILD_DIR" "$ROOT/scripts/package.sh" --arch arm64 -- -DBUILD_TESTING=ON \
    -DMDCONFIG_REFERENCE_BUILD="$BUILD_DIR"
cd "$ARM64_BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900
