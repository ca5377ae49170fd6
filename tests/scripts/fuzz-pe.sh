#!/usr/bin/env bash
# A bounded fuzzing run of the Authenticode check: builds pe-verify-fuzzer
# with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) into
# $FENNICK_BINARY_DIR/fuzz and runs it over a copy of the PE fixtures for a
# fixed number of inputs. Any crash, sanitizer report or leak fails it.
# FUZZ_RUNS overrides the number of inputs.
set -euo pipefail

source_dir=${FENNICK_SOURCE_DIR:?}
build=${FENNICK_BINARY_DIR:?}/fuzz
fixtures=${FENNICK_FIXTURES:?}/authenticode
runs=${FUZZ_RUNS:-4000}

if ! command -v clang++ > /dev/null; then
  echo "clang++ is not installed (tools/install-deps installs it); no fuzzing run"
  exit 0
fi

cmake -S "$source_dir/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j2 > "$build.build.log" 2>&1 || { cat "$build.build.log"; exit 1; }

corpus=$build/corpus
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$fixtures"/pe/* "$corpus/"
export FENNICK_FUZZ_TRUST=$fixtures/trust/trusted
cd "$build"
./pe-verify-fuzzer -runs="$runs" -seed=1 -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 "$corpus" 2>&1 | tail -n 25
