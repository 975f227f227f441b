#!/usr/bin/env bash
# Build the host programs and run the installer on a fresh copy of the
# bundled simulated Windows 98 PC. Extra arguments go to idesetup, e.g.
#   scripts/demo.sh --answers yes,later /D:K6417
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh host
cmake --preset host >/dev/null
cmake --build --preset host >/dev/null
if [ $# -eq 0 ]; then set -- /D:K6417; fi
exec build/host/bin/idesetup "$@"
