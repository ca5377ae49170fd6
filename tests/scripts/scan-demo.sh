#!/usr/bin/env bash
# fennick-scan end to end on the demo machine: the JSON and text results in
# two languages, the copied Defects.log byte for byte, the exit codes, and a
# machine left exactly as it was.
set -euo pipefail
scan="$FENNICK_BINARY_DIR/fennick-scan"
expected="$FENNICK_SOURCE_DIR/tests/expected"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/demo
"$FENNICK_SOURCE_DIR/tools/make-demo-prefix" "$prefix" > /dev/null
export FENNICK_TRUSTED_CERTS=$prefix/trusted
unset LANGUAGE LC_ALL LC_MESSAGES

snapshot() { (cd "$1" && find . -printf '%p %y %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }
snapshot "$prefix" > "$work/before"

status=0
"$scan" --prefix "$prefix" --json --report "$work/Defects.log" > "$work/out.json" || status=$?
[[ $status == 1 ]] || { echo "exit status $status, expected 1 (affected)"; exit 1; }
sed "s|\"report\": \"$work/Defects.log\"|\"report\": \"REPORT\"|" "$work/out.json" |
  diff -u "$expected/demo-scan.json" -
cmp "$expected/demo-Defects.log" "$work/Defects.log"
# A rerun with the same report file (a scheduled scan) replaces the report,
# a longer one of another day included.
head -c 100000 /dev/zero | tr '\0' x > "$work/Defects.log"
status=0
"$scan" --prefix "$prefix" --json --report "$work/Defects.log" > /dev/null || status=$?
[[ $status == 1 ]] || { echo "rerun: exit status $status, expected 1 (affected)"; exit 1; }
cmp "$expected/demo-Defects.log" "$work/Defects.log"

LANG=en_US.UTF-8 "$scan" --prefix "$prefix" > "$work/en.txt" || true
diff -u "$expected/demo-scan-en.txt" "$work/en.txt"
LANG=de_DE.UTF-8 "$scan" --prefix "$prefix" > "$work/de.txt" || true
diff -u "$expected/demo-scan-de.txt" "$work/de.txt"

snapshot "$prefix" > "$work/after"
diff -u "$work/before" "$work/after"

# A machine without Orvia products: nothing affected, exit 0, no report.
mkdir -p "$work/empty/drive_c"
status=0
"$scan" --prefix "$work/empty" --json --report "$work/none.log" > "$work/empty.json" || status=$?
[[ $status == 0 ]] || { echo "empty machine: exit status $status"; exit 1; }
grep -q '"affected": \[\], "upToDate": \[\]' "$work/empty.json"
grep -q '"report": null' "$work/empty.json"
[[ ! -e $work/none.log ]]

# Usage errors and a configuration that cannot be read exit with 2.
for args in "--bogus" "--prefix" "--prefix $work/missing" "--prefix $work/empty --config $work/missing.xml"; do
  status=0
  # shellcheck disable=SC2086
  "$scan" $args > /dev/null 2>&1 || status=$?
  [[ $status == 2 ]] || { echo "fennick-scan $args: exit status $status, expected 2"; exit 1; }
done
echo "scan-demo: all checks passed"
