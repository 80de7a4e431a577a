#!/usr/bin/env bash
# Measures the spreadsheet's pivot against a plain sort of the same rows.
#   bash scripts/bench-pivot.sh [rows] [repetitions]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh" >/dev/null
build="${INQUERITO_BUILD_DIR:-$root/build}"
QT_QPA_PLATFORM=offscreen "$build/bench/pivot_bench" "$@"
