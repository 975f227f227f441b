#!/usr/bin/env bash
# Install what the builds and tests need on a Debian machine, only when it is
# missing. Usage: scripts/install-deps.sh [host|all]
#   host  the host build (simulated PC): compiler, CMake, GoogleTest, and the
#         MinGW-w64 resource compiler that compiles the dialog scripts
#   all   also the Windows cross compiler, clang for the fuzzers and Google
#         Benchmark (the default)
set -euo pipefail
what=${1:-all}

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd make || need+=(make)
have_cmd g++ || need+=(g++)
have_cmd python3 || need+=(python3)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg libgmock-dev || need+=(libgmock-dev)
have_cmd i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
if [ "$what" = all ]; then
  have_cmd i686-w64-mingw32-g++ || need+=(g++-mingw-w64-i686)
  # The fuzzers (clang with libFuzzer and its sanitizer runtimes) and the benchmarks.
  have_cmd clang++ || need+=(clang)
  have_pkg libclang-rt-dev || need+=(libclang-rt-dev)
  have_pkg libbenchmark-dev || need+=(libbenchmark-dev)
fi

if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  echo "installing: ${need[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
