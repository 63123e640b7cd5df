#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
source "$(dirname "$0")/common.sh"

# socat makes the pseudo-terminal pairs the serial tests send real bytes through.
# desktop-file-utils, appstream, man-db, groff-base and bash-completion check the installed tree.
# chromium, chromium-driver, python3-selenium and zbar-tools drive and read the page for phones.
ensure_packages "${BUILD_PACKAGES[@]}" socat "${INSTALL_TEST_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}"
build_project
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 "$@"
