#!/usr/bin/env bash
# Run every fuzzer for longer: scripts/fuzz.sh [SECONDS] [HARNESS...]
#   SECONDS   how long each harness runs (default 600)
#   HARNESS   cmdline_fuzz, classinf_fuzz, installed_fuzz, regedit4_fuzz,
#             walks_fuzz (default: all of them)
# Builds the fuzz preset (clang), then runs the harnesses two at a time. New
# inputs collect in build/fuzz/fuzz-corpus/<harness>/; an input that breaks a
# property is written to build/fuzz/fuzz-crash-<harness>-* and the script
# fails. Make such an input a test in tests/regressions_test.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(cmdline_fuzz classinf_fuzz installed_fuzz regedit4_fuzz walks_fuzz)

# The host build's tools, then clang with its libFuzzer runtime.
scripts/install-deps.sh host
if ! command -v clang++ >/dev/null 2>&1 ||
   ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang libclang-rt-dev
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

run() {
  local name=$1 log=build/fuzz/fuzz-$1.log
  mkdir -p build/fuzz/fuzz-corpus/"$name"
  if build/fuzz/bin/"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix=build/fuzz/fuzz-crash-"$name"- \
       build/fuzz/fuzz-corpus/"$name" fuzz/corpus/"$name" >"$log" 2>&1; then
    echo "$name: $(grep -a 'number_of_executed_units' "$log" | awk '{print $2}') inputs, no property broken"
  else
    echo "$name: FAILED, see $log"; grep -a -A3 'property broken\|ERROR:' "$log" | head -8
    return 1
  fi
}

status=0
pids=()
for name in "${harnesses[@]}"; do
  run "$name" & pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then wait "${pids[0]}" || status=1; pids=("${pids[@]:1}"); fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
