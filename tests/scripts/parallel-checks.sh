#!/usr/bin/env bash
# Checking files on several threads changes nothing but the time: fennick-scan
# prints the same results, JSON and Defects.log, byte for byte, with one
# thread and with many, on the demo machine and on the benchmark's large
# machine; fennick-verify prints the same reports in argument order; bad
# thread counts are usage errors.
set -euo pipefail
scan="$FENNICK_BINARY_DIR/fennick-scan"
verify="$FENNICK_BINARY_DIR/fennick-verify"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LANGUAGE LC_ALL LC_MESSAGES

# scan_outputs PREFIX JOBS DIR: the text, JSON and report of one scan in DIR.
# The report is copied to the same path in every run, so the JSON that names
# it can be compared whole.
scan_outputs() {
  local prefix=$1 jobs=$2 dir=$3
  mkdir -p "$dir"
  rm -f "$work/Defects.log"
  "$scan" --prefix "$prefix" --jobs "$jobs" --json --report "$work/Defects.log" \
    > "$dir/out.json" || true
  if [[ -f $work/Defects.log ]]; then mv "$work/Defects.log" "$dir/Defects.log"; fi
  LANG=en_US.UTF-8 "$scan" --prefix "$prefix" --jobs "$jobs" > "$dir/out.txt" || true
}

# same_scans NAME PREFIX JOBS...: one thread against each count of JOBS.
same_scans() {
  local name=$1 prefix=$2 jobs
  shift 2
  scan_outputs "$prefix" 1 "$work/$name-1"
  [[ -s $work/$name-1/Defects.log ]] || { echo "$name: nothing affected, nothing compared"; exit 1; }
  for jobs in "$@"; do
    scan_outputs "$prefix" "$jobs" "$work/$name-$jobs"
    diff -r "$work/$name-1" "$work/$name-$jobs" ||
      { echo "$name: $jobs threads differ from one"; exit 1; }
  done
}

"$FENNICK_SOURCE_DIR/tools/make-demo-prefix" "$work/demo" > /dev/null
FENNICK_TRUSTED_CERTS=$work/demo/trusted same_scans demo "$work/demo" 2 3 8

# The benchmark's machine, kept in the build tree between runs as bench/run
# keeps it.
large=$FENNICK_BINARY_DIR/bench/large
stamp=$(cat "$FENNICK_SOURCE_DIR/bench/make-large-prefix" "$FENNICK_SOURCE_DIR/tools/make-demo-prefix" \
  "$FENNICK_SOURCE_DIR"/tests/pki/*.crt | sha256sum | cut -d' ' -f1)
if [[ ! -f $large.stamp || $(cat "$large.stamp") != "$stamp" ]]; then
  rm -rf "$large"
  "$FENNICK_SOURCE_DIR/bench/make-large-prefix" "$large" > /dev/null
  echo "$stamp" > "$large.stamp"
fi
FENNICK_TRUSTED_CERTS=$large/trusted same_scans large "$large" 2 5

# fennick-verify: the same reports, in argument order, however many threads.
fixtures=${FENNICK_FIXTURES:?}/authenticode
export FENNICK_TRUSTED_CERTS=$fixtures/trust/trusted
export FENNICK_DISALLOWED_CERTS=$fixtures/trust/disallowed
export FENNICK_CRLS=$fixtures/trust/crls
mapfile -t files < <(find "$fixtures/pe" "${FENNICK_FIXTURES}/jar" -type f \( -name '*.exe' -o -name '*.jar' \) | sort)
files+=("$fixtures/pe/missing.exe")
((${#files[@]} > 40)) || { echo "only ${#files[@]} fixture files"; exit 1; }
for format in --json ""; do
  "$verify" $format --jobs 1 "${files[@]}" > "$work/verify-1" || true
  for jobs in 2 5; do
    "$verify" $format --jobs "$jobs" "${files[@]}" > "$work/verify-$jobs" || true
    cmp "$work/verify-1" "$work/verify-$jobs" ||
      { echo "fennick-verify $format --jobs $jobs differs from one thread"; exit 1; }
  done
done
[[ $(grep -c . "$work/verify-1") == "${#files[@]}" ]]

# Thread counts are whole numbers from 1 to 1024.
for jobs in 0 -1 x 1025 ""; do
  for tool in "$scan --prefix $work/demo" "$verify ${files[0]}"; do
    status=0
    # shellcheck disable=SC2086
    $tool --jobs "$jobs" > /dev/null 2>&1 || status=$?
    [[ $status == 2 ]] || { echo "$tool --jobs '$jobs': exit status $status, expected 2"; exit 1; }
  done
done
echo "parallel-checks: all checks passed"
