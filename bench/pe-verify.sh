#!/usr/bin/env bash
# Benchmark of the Authenticode check: fennick-verify over a few hundred
# signed PE images of mixed sizes, with one thread (--jobs 1) and with one per
# processor (the default), against the floor of reading and hashing every
# byte once on one thread (openssl dgst -sha256 over the same files, one
# run) and against osslsigncode verify (one run per file, as it takes one
# file).
#
#   bench/pe-verify.sh [BUILD-DIR]      (default: build)
#
# BENCH_FILES sets the number of images (300), BENCH_ROUNDS the number of
# timed rounds (3; the fastest counts). The images are made once into
# BUILD-DIR/bench/pe (about 0.7 GB) and kept for later runs. The size mix
# is that of installed software: 70 % from 4 KB to 1 MB, 25 % from 1 MB to
# 10 MB, 5 % from 10 MB to 50 MB (log-uniform within each band); one image
# in ten carries an RFC 3161 time-stamp. All are signed with SHA-256 by the
# vendor test PKI and verify.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
count=${BENCH_FILES:-300}
rounds=${BENCH_ROUNDS:-3}
data=$build/bench/pe
verify=$build/fennick-verify
make_pe=$build/tools/make-pe
pki=$root/tests/pki
for tool in "$verify" "$make_pe"; do
  [[ -x $tool ]] || { echo "build first: $tool is missing" >&2; exit 1; }
done

# --- The images ------------------------------------------------------------------
# The images depend on these only; change generation when their making does.
generation=1
stamp=$( { cat "$pki"/*.crt; echo "$count $generation"; } | sha256sum | cut -d' ' -f1)
if [[ ! -f $data/stamp || $(cat "$data/stamp") != "$stamp" ]]; then
  echo "making $count signed images in $data ..."
  rm -rf "$data"
  mkdir -p "$data/work"
  source "$root/tests/fixtures/pki.sh"
  pki_ca_dir "$data/work/ca" 3000
  pki_key "$data/work/tsa.key"
  pki_issue "$data/work/ca" "$pki/orvia-root.crt" "$pki/orvia-root.key" "$data/work/tsa.key" \
    "/O=Orvia Systems/CN=Benchmark Time-Stamping Authority" v3_tsa \
    20200101000000Z 20450101000000Z "$data/work/tsa.crt"
  cat "$pki/orvia-signer.crt" "$pki/orvia-intermediate.crt" > "$data/work/chain.pem"
  awk -v n="$count" 'BEGIN {
      srand(20261209)
      for (i = 0; i < n; i++) {
        r = rand()
        if (r < 0.70) { lo = 4096; hi = 1048576 } else if (r < 0.95) { lo = 1048576; hi = 10485760 } else { lo = 10485760; hi = 52428800 }
        printf "%d\n", exp(log(lo) + rand() * (log(hi) - log(lo)))
      }
    }' > "$data/work/sizes"
  i=0
  while read -r size; do
    i=$((i + 1))
    name=$(printf 'image-%03d.exe' "$i")
    bits=--pe32
    ((i % 2 == 0)) && bits=--pe32plus
    "$make_pe" $bits --size "$size" --seed "$i" "$data/work/unsigned.exe"
    stampargs=()
    ((i % 10 == 0)) && stampargs=(-TSA-certs "$data/work/tsa.crt" -TSA-key "$data/work/tsa.key" -TSA-time 1700000000)
    osslsigncode sign -certs "$data/work/chain.pem" -key "$pki/orvia-signer.key" -h sha256 \
      "${stampargs[@]}" -in "$data/work/unsigned.exe" -out "$data/$name" > /dev/null
  done < "$data/work/sizes"
  rm -rf "$data/work"
  echo "$stamp" > "$data/stamp"
fi
files=("$data"/*.exe)
total=$(cat "${files[@]}" | wc -c) # also brings every file into the page cache

source "$root/bench/timing.sh"

export FENNICK_TRUSTED_CERTS=$pki/orvia-root.crt
roots=$pki/orvia-root.crt
require_verified "${files[@]}"

small=() medium=() large=()
for file in "${files[@]}"; do
  size=$(stat -c %s "$file")
  if ((size < 1048576)); then small+=("$file")
  elif ((size < 10485760)); then medium+=("$file")
  else large+=("$file"); fi
done

compare_header 1.10 0.65 10
compare "all" "${files[@]}"
compare "< 1 MB" "${small[@]}"
compare "1-10 MB" "${medium[@]}"
compare ">= 10 MB" "${large[@]}"
