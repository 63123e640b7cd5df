# Shared by run.sh and test.sh: installs the Debian packages that are missing and builds the project.
# Sourced, not run.

set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

# apt-get and dpkg as root: directly, or through sudo.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: $* needs root, and this is not root and has no sudo." >&2
        return 1
    fi
}

# Lets dpkg and apt install packages of another architecture (arm64 beside amd64), saying so.
ensure_architecture() {
    local arch=$1
    if [ "$arch" = "$(dpkg --print-architecture)" ] || dpkg --print-foreign-architectures | grep -qx "$arch"; then
        return 0
    fi
    echo "Adding the $arch architecture to dpkg (dpkg --add-architecture $arch)."
    as_root dpkg --add-architecture "$arch"
}

# Installs each named Debian package that is not installed yet, and says what it installs.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        echo "All needed packages are installed."
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "error: ${missing[*]} must be installed, and this is not root and has no sudo." >&2
            return 1
        fi
        sudo=(sudo)
    fi
    if ! "${sudo[@]}" apt-get update -qq; then
        echo "error: apt-get update failed." >&2
        return 1
    fi
    if ! DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
        echo "error: could not install ${missing[*]}." >&2
        return 1
    fi
}

# cpp-httplib carries the page for phones, libqrencode draws its address as a QR code.
# The tools run on this machine; the libraries are those of the machine the programs are built for.
BUILD_TOOLS=(cmake make pkg-config qt6-base-dev-tools fonts-dejavu-core nodejs esbuild)
# The page's modules: esbuild bundles them, Node runs their tests, and npm installs the TOML reader that
# src/web/page/package-lock.json pins by version and checksum. Some builds of nodejs carry npm (and conflict
# with Debian's npm package); Debian's own nodejs needs the package.
if ! command -v npm >/dev/null 2>&1; then
    BUILD_TOOLS+=(npm)
fi
BUILD_LIBRARIES=(qt6-base-dev qt6-serialport-dev libtomlplusplus-dev libcpp-httplib-dev libqrencode-dev)
BUILD_PACKAGES=(g++ "${BUILD_TOOLS[@]}" "${BUILD_LIBRARIES[@]}")
# An arm64 build on an amd64 machine: Debian's cross compiler, the arm64 libraries (installed beside this
# machine's own) and qemu's user-mode emulator, which runs the arm64 programs the build and the tests start.
CROSS_ARM64_PACKAGES=(g++-aarch64-linux-gnu qemu-user-static "${BUILD_TOOLS[@]}" "${BUILD_LIBRARIES[@]/%/:arm64}")
# The install test validates and renders what is installed; package.sh builds and checks the Debian package.
INSTALL_TEST_PACKAGES=(desktop-file-utils appstream man-db groff-base bash-completion shared-mime-info libxml2-utils systemd)
# The page's tests: a real headless browser at phone size, and a QR reader for the printed code.
WEB_TEST_PACKAGES=(chromium chromium-driver python3-selenium zbar-tools)
PACKAGE_PACKAGES=(dpkg-dev fakeroot lintian file)

build_project() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$BUILD_DIR" -j "$(nproc)"
}
