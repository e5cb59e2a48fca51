#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing.
#
#   install-deps.sh program   what building, running and packaging the Linux
#                             program needs (and its screenshot without a
#                             display); scripts/start.sh installs only these
#   install-deps.sh [all]     those and everything the tests need: GoogleTest,
#                             the Windows cross build, Wine, NSIS, the D-Bus
#                             mocks, lintian, benchmarks, clang for fuzzing
#   install-deps.sh --list program|tests|all
#                             prints the names, one a line, and installs nothing
set -euo pipefail

program_packages=(
    # Build: compiler, CMake with Ninja, Qt 6 Widgets and D-Bus, fontconfig;
    # libsystemd's sd-bus for the service, which has no Qt.
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev libfontconfig-dev libsystemd-dev
    # The Debian package the README makes from the build (dpkg-shlibdeps, and
    # file, which CPack asks which installed files are programs).
    dpkg-dev file
    # No display: a virtual X server, the window's id and its picture.
    xvfb xauth xdotool imagemagick
)

test_packages=(
    googletest libgtest-dev libgmock-dev
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    wine wine64 fonts-wine nsis zip msitools wixl
    trayer x11-utils
    dbus python3-dbusmock xdg-utils faketime systemd
    lintian desktop-file-utils appstream
    # The Ansible role, linted and run on a Debian root made by debootstrap.
    ansible ansible-lint debootstrap
    libbenchmark-dev
    clang libclang-rt-14-dev llvm
)

list_only=0
if [ "${1:-}" = "--list" ]; then
    list_only=1
    shift
fi
case "${1:-all}" in
    program) packages=("${program_packages[@]}") ;;
    tests) packages=("${test_packages[@]}") ;;
    all) packages=("${program_packages[@]}" "${test_packages[@]}") ;;
    *) echo "usage: $0 [--list] [program|tests|all]" >&2; exit 2 ;;
esac
if [ "$list_only" -eq 1 ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}; run this as root (or with sudo) to install them." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
