#!/usr/bin/env bash
# Builds and runs the server benchmark; arguments: [patients-to-add] [calls].
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/build.sh"
"${INQUERITO_BUILD_DIR:-$root/build}/bench/server_load_bench" "$@"
