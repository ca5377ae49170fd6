#!/usr/bin/env bash
# fennick-verify on folders, as an administrator runs it: a tree of the
# fixtures with awkward names, link loops, links out of the tree, a named
# pipe with a writer waiting on it and a folder it may not read. The walk's
# verdicts equal those of the same files named one by one, in the same order
# for one thread and for eight; CSV holds every field of the JSON and
# round-trips through Python's csv module; --only limits what is printed and
# the summary counts everything, in English and in German.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
requires python3 script
if [[ $EUID -eq 0 ]]; then requires setpriv; fi
fixtures=${FENNICK_FIXTURES:?}
verify=${FENNICK_BINARY_DIR:?}/fennick-verify
pe=$fixtures/authenticode/pe
export FENNICK_TRUSTED_CERTS=$fixtures/authenticode/trust/trusted
export FENNICK_DISALLOWED_CERTS=$fixtures/authenticode/trust/disallowed
export FENNICK_CRLS=$fixtures/authenticode/trust/crls
unset LANGUAGE LC_ALL LC_MESSAGES
work=$(mktemp -d)
writer=
cleanup() {
  [[ -n $writer ]] && kill "$writer" 2>/dev/null
  chmod -R u+rwx "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work" # the unreadable folder is tried as another user when run as root
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The tree.
tree=$work/tree
mkdir -p "$tree/Apps/Vendor/bin" "$tree/Apps/Other" "$tree/Shared" "$tree/locked" "$work/outside"
cp "$pe/orvia-rfc3161-32.exe" "$tree/Apps/Vendor/bin/tool.exe"
cp "$pe/orvia-pkcs9-64.exe" "$tree/Apps/Vendor/bin/Grüße 中文.dll"
cp "$pe/tampered-section-32.exe" "$tree/Apps/Vendor/bin/comma, \"quoted\".exe"
cp "$pe/unsigned-64.exe" "$tree/Apps/Vendor/two"$'\n'"lines.exe"
cp "$pe/other-64.exe" "$tree/Apps/Other/other.exe"
cp "$pe/revoked-32.exe" "$tree/Apps/Other/revoked.sys"
cp "$fixtures/jar/vendor-signed.jar" "$tree/Shared/bundle.zip"
cp "$fixtures/jar/vendor-signed.jar" "$tree/Shared/plugin.jar"
echo "no signature here" > "$tree/Shared/notes.txt"
cp "$pe/unsigned-32.exe" "$tree/top.exe"
echo "no signature here" > "$tree/readme.txt"
cp "$pe/unsigned-32.exe" "$tree/locked/hidden.exe"
cp "$pe/orvia-rfc3161-32.exe" "$work/outside/far.exe"
ln -s .. "$tree/Apps/Vendor/up"              # a loop back up the tree
ln -s ../Shared "$tree/Apps/shared-link"      # a link inside the tree
ln -s "$work/outside" "$tree/Apps/out"        # a folder outside
ln -s "$work/outside/far.exe" "$tree/far.exe" # a file outside
mkfifo "$tree/Apps/pipe.exe"
# A writer waits on the pipe until a reader opens it; the walk never does.
(exec 3>"$tree/Apps/pipe.exe"; echo opened > "$work/writer-got-in") &
writer=$!
chmod 000 "$tree/locked"

# run ARGS...: fennick-verify as a user the locked folder is closed to;
# sets status, out (stdout) and err (stderr).
as_user=()
if [[ $EUID -eq 0 ]]; then as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups); fi
run() {
  status=0
  "${as_user[@]}" env HOME="$work" "$verify" "$@" > "$work/out" 2> "$work/err" || status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

# Recursion, order and threads.
run -r --json --jobs 1 "$tree"
[[ $status == 1 ]] || fail "-r --json: exit status $status, expected 1 (a file is affected)"
cp "$work/out" "$work/one.json"
[[ $err == *"cannot read the folder $tree/locked"* ]] || fail "the unreadable folder is not named: $err"
for jobs in 8 3; do
  run -r --json --jobs "$jobs" "$tree"
  cmp -s "$work/one.json" "$work/out" || fail "--jobs $jobs prints other results than --jobs 1"
done
python3 - "$work/one.json" "$tree" <<'PY' || fail "the walk's files"
import json, sys
reports = json.load(open(sys.argv[1]))
tree = sys.argv[2]
paths = [r["path"][len(tree) + 1:] for r in reports]
expected = [
    "top.exe",
    "Apps/Other/other.exe", "Apps/Other/revoked.sys",
    "Apps/shared-link/bundle.zip",
    "Apps/Vendor/two\nlines.exe",
    "Apps/Vendor/bin/comma, \"quoted\".exe", "Apps/Vendor/bin/Grüße 中文.dll",
    "Apps/Vendor/bin/tool.exe",
    "Shared/bundle.zip",
]
if paths != expected:
    sys.exit(f"walked {paths}, expected {expected}")
PY

# The same verdicts as the same files named one by one.
python3 - "$work/one.json" "$verify" <<'PY' || fail "walked and named verdicts differ"
import json, subprocess, sys
walked = json.load(open(sys.argv[1]))
named = json.loads(subprocess.run([sys.argv[2], "--json", "--jobs", "1", "--"] +
                                  [r["path"] for r in walked],
                                  capture_output=True, text=True).stdout)
if walked != named:
    for a, b in zip(walked, named):
        if a != b:
            print("walked:", a, "\nnamed: ", b)
    sys.exit(1)
PY

# Without -r only the files directly in the folder; links out of the tree
# only with --follow-links.
run --json "$tree"
[[ $(grep -c '"path"' <<<"$out") == 1 && $out == *"\"path\": \"$tree/top.exe\""* ]] ||
  fail "without -r: $out"
run -r --json --follow-links "$tree"
for path in "$tree/far.exe" "$tree/Apps/out/far.exe"; do
  [[ $out == *"\"path\": \"$path\""* ]] || fail "--follow-links did not reach $path"
  grep -qF "\"path\": \"$path\"" "$work/one.json" && fail "$path was followed without --follow-links"
done
[[ ! -e $work/writer-got-in ]] && kill -0 "$writer" 2>/dev/null ||
  fail "the named pipe was opened: its writer got in"

# Which files a folder stands for: the configuration's extensions; with
# criteria options those and .jar; with --type every file.
shared_names() { grep -o '"path": "[^"]*"' <<<"$out" | sed 's|.*/||' | tr '\n' ' '; }
run --json "$tree/Shared"
[[ $(shared_names) == 'bundle.zip" ' ]] || fail "a folder with the built-in configuration: $(shared_names)"
run --json --hash "" "$tree/Shared"
[[ $(shared_names) == 'bundle.zip" plugin.jar" ' ]] || fail "a folder with criteria: $(shared_names)"
run --json --type jar "$tree/Shared"
[[ $(shared_names) == 'bundle.zip" notes.txt" plugin.jar" ' ]] || fail "a folder with --type: $(shared_names)"

# CSV: every field of every result, read back with Python's csv module, is
# the JSON's; writing the rows again gives the same bytes.
run -r --csv "$tree"
python3 - "$work/out" "$work/one.json" <<'PY' || fail "CSV does not round-trip"
import csv, io, json, sys
data = open(sys.argv[1], "rb").read()
rows = list(csv.reader(io.StringIO(data.decode("utf-8"), newline="")))
header, rows = rows[0], rows[1:]
assert header == ["path", "validator", "result", "resultName", "trustStatus",
                  "subjectNames", "thumbprint", "signingTime", "note"], header
reports = json.load(open(sys.argv[2]))
assert len(rows) == len(reports), (len(rows), len(reports))
text = lambda v: "" if v is None else str(v)
for row, r in zip(rows, reports):
    signer = r["signer"] or {}
    expected = [r["path"], text(r["validator"]), text(r["result"]), text(r["resultName"]),
                text(r["trustStatus"]), text(signer.get("subjectNames")),
                text(signer.get("thumbprint")), text(signer.get("signingTime")),
                r.get("note", "")]
    assert row == expected, (row, expected)
again = io.StringIO(newline="")
csv.writer(again, lineterminator="\r\n").writerows([header] + rows)
assert again.getvalue().encode("utf-8") == data, "rewritten CSV differs"
PY

# --only limits what is printed, not what is checked or counted.
run -r --json --only affected --only unsigned "$tree"
[[ $status == 1 ]] || fail "--only: exit status $status"
python3 - "$work/out" "$work/one.json" <<'PY' || fail "--only affected --only unsigned"
import json, sys
shown = json.load(open(sys.argv[1]))
every = json.load(open(sys.argv[2]))
expected = [r for r in every if r["result"] in (6, 2)]
assert shown == expected, shown
PY
run -r --json --only verified "$tree/Apps/Vendor/bin"
[[ $out == $'[\n]' ]] || fail "--only with nothing to show is no empty array: $out"

# The summary counts every verdict, in the user's language.
read -r verified affected unsigned failed < <(python3 - "$work/one.json" <<'PY'
import json, sys
r = [x["result"] for x in json.load(open(sys.argv[1]))]
print(r.count(0), r.count(6), r.count(2), len(r) - r.count(0) - r.count(6) - r.count(2))
PY
)
total=$((verified + affected + unsigned + failed))
LANG=en_US.UTF-8 run -r --only affected "$tree"
[[ $(tail -n1 <<<"$err") == "$total files: $verified verified, $affected affected, $unsigned unsigned, $failed failed" ]] ||
  fail "English summary: $(tail -n1 <<<"$err")"
LANG=de_DE.UTF-8 run -r --only affected "$tree"
[[ $(tail -n1 <<<"$err") == "$total Dateien: $verified verifiziert, $affected betroffen, $unsigned nicht signiert, $failed fehlgeschlagen" ]] ||
  fail "German summary: $(tail -n1 <<<"$err")"
[[ $(grep -c . <<<"$out") == "$affected" ]] || fail "--only affected printed: $out"
LANG=de_DE.UTF-8 run "$tree/top.exe"
[[ $status == 0 && $err == "1 Datei: 0 verifiziert, 0 betroffen, 1 nicht signiert, 0 fehlgeschlagen" ]] ||
  fail "German summary of one file: $err"

# On a terminal a progress line on stderr, erased before the summary;
# redirected, none.
status=0
script -qec "env HOME=$work $verify -r --jobs 1 $fixtures > /dev/null" "$work/terminal" > /dev/null ||
  status=$?
[[ $status == 1 ]] || fail "on a terminal: exit status $status"
grep -q $'\rFiles checked: [0-9,]* of [0-9,]*' "$work/terminal" || fail "no progress line on a terminal"
grep -q $'\r *\r[0-9,]* files: ' "$work/terminal" || fail "the progress line is not erased before the summary"
"$verify" -r --jobs 1 "$fixtures" > /dev/null 2> "$work/redirected" || true
[[ $(grep -c . "$work/redirected") == 1 && $(cat "$work/redirected") == *" files: "* ]] ||
  fail "redirected, stderr holds more than the summary: $(head -c 300 "$work/redirected")"

# Usage errors.
for args in "--only bogus $tree" "--only" "--json --csv $tree"; do
  # shellcheck disable=SC2086
  run $args
  [[ $status == 2 && $err == *usage:* ]] || fail "fennick-verify $args: exit status $status"
done

((failures == 0)) && echo "fennick-verify-folders: all checks passed"
((failures == 0))
