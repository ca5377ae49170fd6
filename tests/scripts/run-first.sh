#!/usr/bin/env bash
# tools/run, the README's first command, on a machine without a Wine prefix:
# it says so in one line and ends with the demonstration machine's scan
# (exit 1: products affected). With --prefix, WINEPREFIX or ~/.wine it scans
# that machine as before, and a WINEPREFIX that does not exist is still the
# scanner's clear error.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
requires cmake ninja openssl osslsigncode sqlite3 zip
source_dir=${FENNICK_SOURCE_DIR:?}
export FENNICK_BINARY_DIR=${FENNICK_BINARY_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset WINEPREFIX LANGUAGE LC_ALL LC_MESSAGES FENNICK_TRUSTED_CERTS
export LANG=en_US.UTF-8
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run HOME ARGS...: tools/run for a user whose home is HOME; sets status,
# out and err.
run() {
  local home=$1
  shift
  status=0
  HOME=$home "$source_dir/tools/run" "$@" > "$work/out" 2> "$work/err" || status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}
said_no_prefix() { grep -c '^tools/run: no Wine prefix here' <<<"$err" || true; }

mkdir -p "$work/fresh" "$work/bare/drive_c" "$work/user/.wine/drive_c"

# A fresh machine: the demonstration machine's results, twice (the second
# time from the machine kept in the build folder).
for round in first second; do
  run "$work/fresh"
  [[ $status == 1 ]] || fail "$round run without a prefix: exit status $status, expected 1: $err"
  [[ $(said_no_prefix) == 1 ]] || fail "$round run: the missing prefix is not told in one line: $err"
  diff -u "$source_dir/tests/expected/demo-scan-en.txt" <(printf '%s\n' "$out") ||
    fail "$round run: not the demonstration machine's results"
done
run "$work/fresh" --json
[[ $status == 1 && $out == *'"affected": [{"name": '* ]] || fail "--json without a prefix: $out"

# A machine named on the command line, by WINEPREFIX or by ~/.wine.
run "$work/fresh" --prefix "$work/bare" --json
[[ $status == 0 && $out == *'"affected": []'* && $(said_no_prefix) == 0 ]] ||
  fail "--prefix: exit status $status, $out"
WINEPREFIX=$work/bare run "$work/fresh" --json
[[ $status == 0 && $out == *'"affected": []'* && $(said_no_prefix) == 0 ]] ||
  fail "WINEPREFIX: exit status $status, $out"
run "$work/user" --json
[[ $status == 0 && $out == *'"affected": []'* && $(said_no_prefix) == 0 ]] ||
  fail "~/.wine: exit status $status, $out"
WINEPREFIX=$work/missing run "$work/fresh"
[[ $status == 2 && $err == *"$work/missing"* ]] || fail "a WINEPREFIX that is missing: exit status $status"

((failures == 0)) && echo "run-first: all checks passed"
((failures == 0))
