#!/usr/bin/env bash
# Builds tolvane.exe with the mingw-w64 cross compiler (no tests, so no Wine
# prefix) and prints its size stripped and the DLLs it imports, checking that
# each is a system DLL (target: under 500 KB).
#
# Usage: scripts/measure-windows-exe.sh [build-folder]   (default build/windows-size)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows-size}

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF --no-warn-unused-cli >/dev/null
cmake --build "$build" --target tolvane >/dev/null
exe=$build/src/platform/win32/tolvane.exe

stripped=$(mktemp /tmp/tolvane-exe-XXXXXX.exe)
trap 'rm -f "$stripped"' EXIT
x86_64-w64-mingw32-strip -o "$stripped" "$exe"
size=$(stat -c %s "$stripped")
printf 'tolvane.exe: %d bytes as built, %d bytes (%.1f KB) stripped (target: under 500 KB: %s)\n' \
    "$(stat -c %s "$exe")" "$size" "$(awk -v b="$size" 'BEGIN { print b / 1024 }')" \
    "$([ "$size" -lt 512000 ] && echo met || echo NOT met)"

# The DLLs every Windows since 7 has in System32; anything else would have to
# ship beside the program.
system='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|COMCTL32|COMDLG32|OLE32|OLEAUT32|msvcrt|ntdll|WS2_32|UxTheme|dwmapi|SHLWAPI|VERSION|WTSAPI32|api-ms-win-.*)\.dll$'
echo "imported DLLs:"
status=0
while read -r dll; do
    if grep -qiE "$system" <<<"$dll"; then
        echo "  $dll (system)"
    else
        echo "  $dll (NOT a system DLL)"
        status=1
    fi
done < <(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }')
exit "$status"
