# Builds for a 64-bit ARM board (arm64: a Raspberry Pi class board on Debian 12) on an amd64 Debian 12 machine,
# with Debian's cross compiler and the arm64 libraries installed beside the machine's own (multiarch:
# /usr/lib/aarch64-linux-gnu). Qt's arm64 CMake files use the machine's own moc, rcc and uic.
#   cmake -S . -B build-arm64 --toolchain cmake/aarch64-linux-gnu.cmake
# scripts/package.sh --arch arm64 installs what this needs and uses it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
# Libraries and CMake packages are looked for under /usr/lib/aarch64-linux-gnu, never this machine's own.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# pkg-config reads the arm64 .pc files, never this machine's.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The build runs an arm64 program of its own (the completion generator), and CTest runs the arm64 tests:
# through qemu's user-mode emulator, named explicitly so no binfmt handler of the kernel is needed.
find_program(MDCONFIG_QEMU_AARCH64 qemu-aarch64-static)
if(MDCONFIG_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MDCONFIG_QEMU_AARCH64})
endif()
