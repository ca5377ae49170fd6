#!/usr/bin/env bash
# fennick-verify -r over a tree of 20,000 files (bench/make-verify-tree: the
# fixtures spread over 400 folders, link loops, links out, a named pipe,
# three locked folders), run as a user the locked folders are closed to.
# Prints, and checks:
#   - the same verdicts as the same files named one by one;
#   - the same output, byte for byte, for --jobs 1 and --jobs 8;
#   - every CSV field of every result read back by Python's csv module;
#   - peak memory (/usr/bin/time), under 100 MB;
#   - when the first result is printed, as a share of the whole run, under
#     a tenth.
#
#   bench/verify-tree.sh [BUILD-DIR]      (default: build)
#
# The tree is made once into BUILD-DIR/bench/verify-tree from the fixtures
# of BUILD-DIR/fixtures (made first when missing) and kept for later runs. Needs root (to run the tool
# as nobody) for the locked folders to be locked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
verify=$build/fennick-verify
fixtures=$build/fixtures
data=$build/bench/verify-tree
tree=$data/tree
[[ -x $verify ]] || { echo "build first: $verify is missing" >&2; exit 1; }
if [[ ! -d $fixtures/authenticode/pe ]]; then
  echo "making the test fixtures in $fixtures ..."
  ctest --test-dir "$build" -R '^fixture\.' > /dev/null
fi
stamp=$(cat "$root/bench/make-verify-tree" "$fixtures"/authenticode/pe/*.exe | sha256sum | cut -d' ' -f1)
if [[ ! -f $data.stamp || $(cat "$data.stamp") != "$stamp" ]]; then
  "$root/bench/make-verify-tree" "$data" "$fixtures"
  echo "$stamp" > "$data.stamp"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
export FENNICK_TRUSTED_CERTS=$fixtures/authenticode/trust/trusted
export FENNICK_DISALLOWED_CERTS=$fixtures/authenticode/trust/disallowed
export FENNICK_CRLS=$fixtures/authenticode/trust/crls
as_user=()
if [[ $EUID -eq 0 ]]; then as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups); fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# measure NAME ARGS...: runs fennick-verify ARGS over the tree; its output in
# $work/NAME.out, stderr in $work/NAME.err, and "seconds
# first-result-seconds peak-KB" in $work/NAME.figures. The first result is
# the first line after the opening one (the JSON array's bracket, the CSV
# header).
measure() {
  local name=$1
  shift
  python3 - "$work/$name" "${as_user[@]}" env HOME="$work" /usr/bin/time -f 'peak %M' \
    "$verify" "$@" "$tree" <<'PY'
import subprocess, sys, time
out = sys.argv[1]
start = time.monotonic()
first = None
with open(out + ".out", "wb") as sink, open(out + ".err", "wb") as err:
    child = subprocess.Popen(sys.argv[2:], stdout=subprocess.PIPE, stderr=err)
    for number, line in enumerate(child.stdout):
        if number == 1:
            first = time.monotonic() - start
        sink.write(line)
    child.wait()
total = time.monotonic() - start
lines = open(out + ".err").read().splitlines()
peak = [l.split()[1] for l in lines if l.startswith("peak ")][-1]
open(out + ".err", "w").write("".join(l + "\n" for l in lines
                                      if not l.startswith(("peak ", "Command exited"))))
open(out + ".figures", "w").write(f"{total:.2f} {first if first is not None else total:.3f} {peak}\n")
PY
}

for jobs in 1 8; do
  measure "json-$jobs" -r --json --jobs "$jobs"
  read -r seconds first peak < "$work/json-$jobs.figures"
  echo "fennick-verify -r --json --jobs $jobs: $seconds s, first result after $first s ($(awk -v a="$first" -v b="$seconds" 'BEGIN { printf "%.1f", 100 * a / b }') % of the run), peak memory $((peak / 1024)) MB"
  awk -v a="$first" -v b="$seconds" 'BEGIN { exit !(a < b / 10) }' ||
    fail "--jobs $jobs: the first result came after a tenth of the run"
  ((peak < 100 * 1024)) || fail "--jobs $jobs: peak memory $peak KB is 100 MB or more"
done
tail -n1 "$work/json-1.err"
grep -c 'cannot read the folder' "$work/json-1.err" | sed 's/^/folders that could not be read: /'
cmp -s "$work/json-1.out" "$work/json-8.out" || fail "--jobs 1 and --jobs 8 print different results"

# The same files named one by one (in batches that fit a command line).
python3 - "$work/json-1.out" "$verify" "$work" <<'PY' || fail "walked and named verdicts differ"
import json, subprocess, sys
walked = json.load(open(sys.argv[1]))
named = []
for i in range(0, len(walked), 2000):
    batch = [r["path"] for r in walked[i:i + 2000]]
    named += json.loads(subprocess.run([sys.argv[2], "--json", "--"] + batch, capture_output=True,
                                       text=True, cwd=sys.argv[3]).stdout)
print(f"{len(walked)} results of the walk; the same files named one by one:",
      "the same verdicts" if walked == named else "OTHER verdicts")
if walked != named:
    sys.exit(1)
results = {}
for r in walked:
    results[r["resultName"]] = results.get(r["resultName"], 0) + 1
print("verdicts:", ", ".join(f"{n} {k}" for k, n in sorted(results.items(), key=lambda x: -x[1])))
PY

measure csv -r --csv
python3 - "$work/csv.out" "$work/json-1.out" <<'PY' || fail "CSV does not round-trip"
import csv, io, json, sys
data = open(sys.argv[1], "rb").read()
rows = list(csv.reader(io.StringIO(data.decode("utf-8"), newline="")))[1:]
reports = json.load(open(sys.argv[2]))
text = lambda v: "" if v is None else str(v)
assert len(rows) == len(reports), (len(rows), len(reports))
for row, r in zip(rows, reports):
    signer = r["signer"] or {}
    assert row == [r["path"], text(r["validator"]), text(r["result"]), text(r["resultName"]),
                   text(r["trustStatus"]), text(signer.get("subjectNames")),
                   text(signer.get("thumbprint")), text(signer.get("signingTime")),
                   r.get("note", "")], row
odd = sum(1 for r in reports if any(c in r["path"] for c in ',"\n') or not r["path"].isascii())
print(f"CSV: {len(rows)} records read back by Python's csv module, {odd} of them with commas, "
      "quotes, line breaks or letters outside ASCII in their path: every field intact")
PY
((failures == 0)) && echo "verify-tree: all checks passed"
((failures == 0))
