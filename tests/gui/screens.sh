#!/usr/bin/env bash
# Shoots the screens of the driver's entries: tests/gui/screens.sh [--only PREFIX] [--dry-run] OUTDIR [BUILDDIR]
# Each entry runs in its own driver process with a fresh HOME and fresh simulator folders, under Xvfb, and writes
# OUTDIR/<entry>/<screen>.png. --dry-run installs nothing and walks the same screens offscreen without pictures.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

usage() {
  echo "usage: $0 [--only PREFIX] [--dry-run] OUTDIR [BUILDDIR]" >&2
  exit 2
}
only=""
dry=0
while (($#)); do
  case "$1" in
    --only) (($# >= 2)) || usage; only="$2"; shift 2 ;;
    --dry-run) dry=1; shift ;;
    -*) usage ;;
    *) break ;;
  esac
done
(($# >= 1 && $# <= 2)) || usage
mkdir -p "$1"
out="$(cd "$1" && pwd)"
build="${2:-$root/build/release}"
[[ -d "$build" ]] || { echo "No build tree at $build (./run.sh configures build/release)." >&2; exit 1; }
build="$(cd "$build" && pwd)"

if ((!dry)); then
  bash "$root/tools/ensure-packages.sh" "$root/tools/screenshot-packages.txt"
fi
cmake --build "$build" --target varemo_screens
driver="$build/bin/varemo_screens"

mapfile -t entries < <("$driver" --list)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
ran=0
for entry in "${entries[@]}"; do
  [[ "$entry" == "$only"* ]] || continue
  ran=$((ran + 1))
  list="$build/screens/$entry.screens"
  if [[ ! -f "$list" ]]; then
    echo "FAIL $entry: no screen list $list" >&2
    failed=1
    continue
  fi
  home="$work/$entry/home"
  mkdir -p "$home" "$work/$entry/feeder" "$work/$entry/trigger" "$out/$entry"
  rm -f "$out/$entry"/*.png
  run=(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u QT_QPA_PLATFORM HOME="$home"
       VEX_HID_BACKEND=sim ORLO_SIM_FEEDER="$work/$entry/feeder" PELL_SIM_TRIGGER="$work/$entry/trigger/HandheldTrigger.txt"
       LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0")
  if ((dry)); then
    run+=(QT_QPA_PLATFORM=offscreen "$driver" --entry "$entry" --out "$out" --dry-run)
  else
    run+=(xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$driver" --entry "$entry" --out "$out")
  fi
  echo "== $entry"
  if ! (cd "$build/bin" && "${run[@]}"); then
    echo "FAIL $entry: the driver failed" >&2
    failed=1
    continue
  fi
  ((dry)) && continue
  while read -r screen; do
    [[ -n "$screen" ]] || continue
    png="$out/$entry/$screen.png"
    if [[ ! -s "$png" ]]; then
      echo "FAIL $entry: $screen.png missing" >&2
      failed=1
    elif [[ "$(identify -format %k "$png")" -le 1 ]]; then
      echo "FAIL $entry: $screen.png is of a single colour" >&2
      failed=1
    else
      echo "   $png"
    fi
  done < "$list"
done
if ((ran == 0)); then
  echo "No entry starts with \"$only\"." >&2
  exit 1
fi
exit "$failed"
