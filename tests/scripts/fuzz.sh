#!/usr/bin/env bash
# Runs every fuzz target for a bounded number of inputs.
set -euo pipefail
cd "$FENNICK_SOURCE_DIR"
exec fuzz/run --runs "${FENNICK_FUZZ_RUNS:-2000}"
