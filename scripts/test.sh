#!/usr/bin/env bash
# Build the Windows executables and the host programs, and run every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
scripts/install-wine.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host -j2
