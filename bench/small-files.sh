#!/usr/bin/env bash
# Benchmark of the fixed cost of a file: fennick-verify over 2,000 signed
# images of 8 KB to 512 KB (bench/make-small-images: four signers under two
# roots, chains of three and four certificates, RFC 3161 time-stamps and
# PKCS#9 countersignatures), with one thread (--jobs 1) and with one per
# processor, against the floor of reading and hashing every byte once on one
# thread (openssl dgst -sha256 over the same files) and against osslsigncode
# verify (one run per file).
#
#   bench/small-files.sh [BUILD-DIR]      (default: build)
#
# BENCH_SMALL_FILES sets the number of images (2000), BENCH_ROUNDS the
# number of timed rounds (3; the fastest counts). The images are made once
# into BUILD-DIR/bench/small (about 250 MB) and kept for later runs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
count=${BENCH_SMALL_FILES:-2000}
rounds=${BENCH_ROUNDS:-3}
data=$build/bench/small
verify=$build/fennick-verify
[[ -x $verify ]] || { echo "build first: $verify is missing" >&2; exit 1; }

stamp=$( { cat "$root/bench/make-small-images" "$root"/tests/pki/*.crt; echo "$count"; } |
  sha256sum | cut -d' ' -f1)
if [[ ! -f $data.stamp || $(cat "$data.stamp") != "$stamp" ]]; then
  echo "making $count signed images in $data ..."
  FENNICK_BINARY_DIR=$build "$root/bench/make-small-images" "$data" "$count" > /dev/null
  echo "$stamp" > "$data.stamp"
fi
files=("$data"/images/*.dll)
cat "${files[@]}" > /dev/null # brings every file into the page cache
cat "$data"/trusted/*.crt > "$data/roots.pem"

source "$root/bench/timing.sh"

export FENNICK_TRUSTED_CERTS=$data/trusted
roots=$data/roots.pem
require_verified "${files[@]}"

compare_header 1.30 0.75 10
compare "8-512 KB" "${files[@]}"
