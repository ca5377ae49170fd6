#!/usr/bin/env bash
# Builds the archive-check fuzz targets with libFuzzer and AddressSanitizer
# and runs each for a bounded number of inputs over a corpus made from the
# signed-archive fixtures. Any crash, leak or sanitizer report fails.
#
#   FENNICK_FUZZ_RUNS  inputs per target (default 20000 for the parsing
#                      target, 5000 for the archive target)
set -euo pipefail

source_dir=${FENNICK_SOURCE_DIR:?}
binary_dir=${FENNICK_BINARY_DIR:?}
fixtures=${FENNICK_FIXTURES:?}/jar
manifest_runs=${FENNICK_FUZZ_RUNS:-20000}
archive_runs=${FENNICK_FUZZ_RUNS:-5000}
work=$binary_dir/fuzz-jar
mkdir -p "$work/obj"

# The core sources the targets reach.
sources=(
  util/Text.cpp
  platform/Guid.cpp platform/WindowsNamespace.cpp platform/ZipFileFunctions.cpp platform/Digest.cpp
  platform/Pkcs7Block.cpp platform/Certificate.cpp
  validation/ValidatorBase.cpp validation/CertificateNames.cpp
  validation/ManifestDigests.cpp validation/JarValidator.cpp
)
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined
       -fno-sanitize-recover=all -I"$source_dir" $(pkg-config --cflags minizip openssl))
libs=($(pkg-config --libs minizip openssl))

objects=()
for src in "${sources[@]}"; do
  obj=$work/obj/$(echo "$src" | tr / _).o
  if [[ ! -f $obj || $source_dir/$src -nt $obj || -n $(find "$source_dir/platform" \
        "$source_dir/validation" "$source_dir/util" -name '*.h' -newer "$obj" -print -quit) ]]; then
    clang++ "${flags[@]}" -c "$source_dir/$src" -o "$obj"
  fi
  objects+=("$obj")
done

build_target() { # name
  local target=$work/$1
  clang++ "${flags[@]}" -fsanitize=fuzzer "$source_dir/fuzz/$1.cpp" "${objects[@]}" \
    "${libs[@]}" -o "$target"
}
build_target jar_manifest_fuzzer
build_target jar_archive_fuzzer

# Seeds: every small fixture archive whole, and each signature file with
# its manifest.
rm -rf "$work/corpus-archive" "$work/corpus-manifest"
mkdir -p "$work/corpus-archive" "$work/corpus-manifest"
for archive in "$fixtures"/*.jar; do
  name=$(basename "$archive" .jar)
  [[ $(stat -c %s "$archive") -le 65536 ]] && cp "$archive" "$work/corpus-archive/$name"
  sf=$(unzip -Z1 "$archive" 2>/dev/null | grep -i '\.sf$' | head -1 || true)
  mf=$(unzip -Z1 "$archive" 2>/dev/null | grep -i '\.mf$' | head -1 || true)
  if [[ -n $sf && -n $mf ]]; then
    { unzip -p "$archive" "$sf"; printf '\0'; unzip -p "$archive" "$mf"; } \
      > "$work/corpus-manifest/$name" 2>/dev/null || true
  fi
done

cd "$work"
./jar_manifest_fuzzer -runs="$manifest_runs" -max_len=8192 -seed=1 corpus-manifest 2>&1 | tail -3
./jar_archive_fuzzer -runs="$archive_runs" -max_len=65536 -seed=1 corpus-archive 2>&1 | tail -3
