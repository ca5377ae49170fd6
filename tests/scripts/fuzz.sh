#!/usr/bin/env bash
# Runs every fuzz target for a bounded number of inputs.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
requires clang clang++
cd "$FENNICK_SOURCE_DIR"
exec fuzz/run --runs "${FENNICK_FUZZ_RUNS:-2000}"
