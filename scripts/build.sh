#!/usr/bin/env bash
# build.sh DIR TYPE [cmake options...]: configures once, then builds.
set -euo pipefail
dir=$1 type=$2
shift 2
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
