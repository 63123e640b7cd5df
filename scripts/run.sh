#!/usr/bin/env bash
# Installs what is missing, builds, and starts the configuration window.
source "$(dirname "$0")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
build_project
exec "$BUILD_DIR/bin/mdconfig" "$@"
