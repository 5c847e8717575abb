#!/usr/bin/env bash
# Sets up what is missing, builds Release and starts Varemo with the simulated instruments.
set -euo pipefail
cd "$(dirname "$0")"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  if [[ "${VAREMO_OFFSCREEN:-}" == "1" ]]; then
    export QT_QPA_PLATFORM=offscreen
  else
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "To run without one: VAREMO_OFFSCREEN=1 ./run.sh" >&2
    exit 1
  fi
fi
bash tools/ensure-packages.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAREMO_TESTS=ON -DVAREMO_BENCH=ON >/dev/null
cmake --build build/release --target Varemo -j"$(nproc)"
export VEX_HID_BACKEND=sim
exec build/release/bin/Varemo "$@"
