#!/usr/bin/env bash
# Builds the Debian package mdconfig_<version>_<arch>.deb in the project folder and checks it with lintian.
# Installs what is missing first, like run.sh and test.sh. The package is built in its own folder
# (build-package/, build-package-arm64/ for a cross build) with Debian's hardening flags, so it never mixes with
# the development build.
#
#   ./scripts/package.sh                  for this machine (amd64 on a PC, arm64 on a board)
#   ./scripts/package.sh --arch arm64     for a 64-bit ARM board: cross-built on an amd64 machine
#   ./scripts/package.sh ... -- -DNAME=VALUE...   more CMake options for the package's build
source "$(dirname "$0")/common.sh"

usage() {
    echo "Usage: scripts/package.sh [--arch ARCH] [-- CMAKE_OPTION...]"
    echo "  --arch ARCH   the Debian architecture to build for: this machine's ($(dpkg --print-architecture)), or"
    echo "                arm64 on an amd64 machine (cross-built, with qemu-user-static to run what the build runs)"
}

HOST_ARCH=$(dpkg --print-architecture)
ARCH=$HOST_ARCH
CMAKE_EXTRA=()
while [ $# -gt 0 ]; do
    case "$1" in
    --arch)
        [ $# -ge 2 ] && [ -n "$2" ] || { echo "package.sh: --arch needs a value, such as arm64" >&2; exit 2; }
        ARCH=$2
        shift 2
        ;;
    --arch=*) ARCH=${1#--arch=}; shift ;;
    -h | --help) usage; exit 0 ;;
    --) shift; CMAKE_EXTRA=("$@"); break ;;
    *) echo "package.sh: unknown option $(printf '%q' "$1"); valid: --arch ARCH, --help, -- CMAKE_OPTION..." >&2; exit 2 ;;
    esac
done

CMAKE_ARCH_OPTIONS=()
if [ "$ARCH" = "$HOST_ARCH" ]; then
    ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
    PACKAGE_BUILD_DIR="${PACKAGE_BUILD_DIR:-$ROOT/build-package}"
elif [ "$ARCH" = arm64 ] && [ "$HOST_ARCH" = amd64 ]; then
    ensure_architecture arm64
    ensure_packages "${CROSS_ARM64_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
    PACKAGE_BUILD_DIR="${PACKAGE_BUILD_DIR:-$ROOT/build-package-arm64}"
    # dpkg-buildflags gives arm64's flags, and the dpkg-shlibdeps CPack runs looks for the arm64 libraries.
    export DEB_HOST_ARCH=arm64
    CMAKE_ARCH_OPTIONS=(--toolchain "$ROOT/cmake/aarch64-linux-gnu.cmake" -DCPACK_DEBIAN_PACKAGE_ARCHITECTURE=arm64)
else
    echo "package.sh: cannot build for $(printf '%q' "$ARCH") on this $HOST_ARCH machine; valid: $HOST_ARCH, or arm64 on amd64" >&2
    exit 2
fi

# The flags Debian packages are built with, with every hardening option (relro, bindnow, fortify, stack
# protector, PIE).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
# The prefix the package installs into, so what names the installed program (the service's ExecStart, the
# settings' install folder) names /usr/bin. The flags are given on the command line: CMake reads CXXFLAGS
# and LDFLAGS from the environment on the first run only.
cmake -S "$ROOT" -B "$PACKAGE_BUILD_DIR" "${CMAKE_ARCH_OPTIONS[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DMDCONFIG_SYSTEMD_UNIT_DIR=/lib/systemd/system \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "${CMAKE_EXTRA[@]}"
cmake --build "$PACKAGE_BUILD_DIR" -j "$(nproc)"
(cd "$PACKAGE_BUILD_DIR" && fakeroot cpack -G DEB)

deb=$(ls -t "$PACKAGE_BUILD_DIR"/mdconfig_*_"$ARCH".deb | head -n 1)
cp -f "$deb" "$ROOT/"
deb="$ROOT/$(basename "$deb")"
echo "Package: $deb"
dpkg-deb --info "$deb"

# lintian: any error or warning fails the script.
lintian --info --fail-on error,warning "$deb"
echo "Install it with:  sudo apt install $deb"
