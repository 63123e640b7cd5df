#!/usr/bin/env bash
# Builds the Debian package mdconfig_<version>_<arch>.deb in the project folder and checks it with lintian.
# Installs what is missing first, like run.sh and test.sh. The package is built in its own folder
# (build-package/) with Debian's hardening flags, so it never mixes with the development build.
source "$(dirname "$0")/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

PACKAGE_BUILD_DIR="${PACKAGE_BUILD_DIR:-$ROOT/build-package}"
# The flags Debian packages are built with, with every hardening option (relro, bindnow, fortify, stack
# protector, PIE).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
# The prefix the package installs into, so what names the installed program (the service's ExecStart, the
# settings' install folder) names /usr/bin. The flags are given on the command line: CMake reads CXXFLAGS
# and LDFLAGS from the environment on the first run only.
cmake -S "$ROOT" -B "$PACKAGE_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DMDCONFIG_SYSTEMD_UNIT_DIR=/lib/systemd/system \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$PACKAGE_BUILD_DIR" -j "$(nproc)"
(cd "$PACKAGE_BUILD_DIR" && fakeroot cpack -G DEB)

deb=$(ls -t "$PACKAGE_BUILD_DIR"/mdconfig_*.deb | head -n 1)
cp -f "$deb" "$ROOT/"
deb="$ROOT/$(basename "$deb")"
echo "Package: $deb"
dpkg-deb --info "$deb"

# lintian: any error fails the script; the warnings left are explained in the README.
lintian --info --fail-on error "$deb"
echo "Install it with:  sudo apt install $deb"
