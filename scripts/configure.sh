#!/usr/bin/env bash
# Configures the three flavours once; later runs let CMake re-check itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"

# ccache, where the machine has it, makes rebuilds and new checkouts cheap.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

configure() {
  local dir=$1; shift
  [[ -f $build/$dir/CMakeCache.txt ]] && return 0
  cmake -S . -B "$build/$dir" -G "Unix Makefiles" "${launcher[@]}" "$@" >/dev/null
}

configure native -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" -DQUORVO_SANITIZE=ON
configure native-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" -DQUORVO_TSAN=ON
configure win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=Release
configure win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win64.cmake -DCMAKE_BUILD_TYPE=Release
configure fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_CXX_FLAGS="-O1 -g" -DQUORVO_FUZZ=ON

# One ctest run over every flavour gives one summary.
mkdir -p "$build/all"
cat > "$build/all/CTestTestfile.cmake" <<TXT
subdirs("$root/$build/native" "$root/$build/native-tsan" "$root/$build/win32" "$root/$build/win64" "$root/$build/fuzz")
TXT
