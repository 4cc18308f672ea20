#!/bin/sh
# Configures (once) and builds the three configurations of the one CMake project.
set -eu
cd "$(dirname "$0")/.."

JOBS=${JOBS:-2}

configure() {   # <dir> [cmake args...]
  dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
}

configure build/native
configure build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DTAPWIRE_MINGW_ARCH=i686
configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DTAPWIRE_MINGW_ARCH=x86_64
# The libFuzzer targets: a project of their own, built with clang.
if [ ! -f build/fuzz/CMakeCache.txt ]; then
  cmake -S tests/fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi

for dir in build/native build/win32 build/win64 build/fuzz; do
  echo "build: $dir"
  # Quiet when it works, the whole log when it does not.
  if ! log=$(cmake --build "$dir" -j "$JOBS" 2>&1); then
    printf '%s\n' "$log"
    exit 1
  fi
done

# One ctest run over the native and the Wine tests.
cat > build/CTestTestfile.cmake <<'EOT'
subdirs("native")
subdirs("win64")
subdirs("fuzz")
EOT
