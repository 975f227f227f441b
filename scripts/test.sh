#!/usr/bin/env bash
# Build the Windows executables and the host programs, and run every test:
# the host suite with the Wine scenarios, the same suite under the
# sanitizers, and short fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
scripts/install-wine.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host -j2

# Hardening: the whole host suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then each fuzzer briefly over its corpus.
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize -j2
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz -j2
