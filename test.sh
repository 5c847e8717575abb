#!/usr/bin/env bash
# Sets up what is missing, builds everything with AddressSanitizer and UBSan, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
export LANG=C.UTF-8
stage_start=$SECONDS
stage() { echo "== $1: $((SECONDS - stage_start)) s"; stage_start=$SECONDS; }
bash tools/ensure-packages.sh
stage "packages"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVAREMO_SANITIZE=ON
stage "configure"
cmake --build build/test -j"$(nproc)"
stage "build"
status=0
ctest --test-dir build/test --output-on-failure -j"$(nproc)" || status=$?
stage "tests"
exit $status
