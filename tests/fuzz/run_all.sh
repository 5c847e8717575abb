#!/usr/bin/env bash
# Runs every fuzz target of a clang build for a while, a few at a time, and prints each target's executions and
# coverage from libFuzzer's last lines. Each target starts from its committed corpus (read only) and grows a
# working corpus of its own; crashing inputs land in the findings folder.
#   tests/fuzz/run_all.sh [-b BUILD] [-t SECONDS] [-j JOBS] [-o OUT] [TARGET...]
# Defaults: build/fuzz, 60 s per target, 4 targets at a time, /tmp/varemo-fuzz-run; all targets.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$root/build/fuzz"
seconds=60
jobs=4
out=/tmp/varemo-fuzz-run
while getopts "b:t:j:o:" option; do
  case "$option" in
    b) build="$(cd "$OPTARG" && pwd)" ;;
    t) seconds="$OPTARG" ;;
    j) jobs="$OPTARG" ;;
    o) out="$OPTARG" ;;
    *) sed -n '2,6p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$here"/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
for target in "${targets[@]}"; do
  if [ ! -x "$build/bin/fuzz_$target" ]; then
    echo "no $build/bin/fuzz_$target: configure with clang and -DVAREMO_FUZZ=ON, build the target fuzz_targets" >&2
    exit 2
  fi
done
mkdir -p "$out"

# One target: its own working corpus and findings folder, the log kept for the summary.
run_one() {
  local target="$1"
  mkdir -p "$out/corpus/$target" "$out/findings/$target"
  # The scratch files of the targets go to memory when it can: the stores write through fsync.
  local scratch=/dev/shm
  [ -d "$scratch" ] && [ -w "$scratch" ] || scratch="${TMPDIR:-/tmp}"
  (cd "$build/bin" && TMPDIR="$scratch" VEX_HID_BACKEND=sim QT_QPA_PLATFORM=offscreen \
    LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC \
    ASAN_OPTIONS="abort_on_error=1:detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
    "./fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$out/findings/$target/" "$out/corpus/$target" "$here/corpus/$target" \
      >"$out/$target.log" 2>&1) || true
}
export -f run_one
export build out seconds here root

printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {}

# libFuzzer's last status line holds cov: and ft:, the final statistics the executions.
printf '%-20s %12s %8s %8s %8s  %s\n' target executions exec/s cov ft result
status=0
for target in "${targets[@]}"; do
  log="$out/$target.log"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  speed="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  last="$(grep -E '^#[0-9]+' "$log" | tail -1 || true)"
  cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")"
  ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")"
  # A slow unit (over 10 s, libFuzzer's report threshold) is no crash: it is named, not failed.
  found="$(find "$out/findings/$target" -type f ! -name 'slow-unit-*' | wc -l)"
  slow="$(find "$out/findings/$target" -type f -name 'slow-unit-*' | wc -l)"
  result=clean
  [ "$slow" -gt 0 ] && result="clean, $slow slow units in $out/findings/$target"
  if [ "$found" -gt 0 ] || grep -qE '^==[0-9]+==ERROR|^SUMMARY: |round trip failed' "$log"; then
    result="FAILED ($found inputs in $out/findings/$target, log $log)"
    status=1
  fi
  printf '%-20s %12s %8s %8s %8s  %s\n' "$target" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
exit $status
