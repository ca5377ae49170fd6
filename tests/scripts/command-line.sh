#!/usr/bin/env bash
# The two command-line tools as their users call them: help, version and
# unknown options, a machine that is no Wine-style prefix, and text in the
# user's language and the terminal's character set.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
bin=${FENNICK_BINARY_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run TOOL ARGS...: sets status, out and err.
run() {
  status=0
  "$bin/$1" "${@:2}" > "$work/out" 2> "$work/err" || status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

version=$(sed -n 's/^project(Fennick VERSION \([0-9.]*\) .*/\1/p' "$FENNICK_SOURCE_DIR/CMakeLists.txt")
for tool in fennick-scan fennick-verify; do
  for help in --help -h; do
    run "$tool" "$help"
    # Here the machine is a prefix, so the help offers --prefix.
    [[ $status == 0 && $out == usage:* && $out == *"--prefix DIR"* && -z $err ]] ||
      fail "$tool $help: status $status"
  done
  run "$tool" --version
  [[ $status == 0 && $out == "$tool $version" ]] || fail "$tool --version: '$out', status $status"
  run "$tool" --bogus
  [[ $status == 2 && -z $out && $err == *usage:* ]] || fail "$tool --bogus: status $status"
done

# Machines that are no Wine-style prefix: named, with the way to choose one.
mkdir -p "$work/not-a-prefix/stuff" "$work/prefix/drive_c"
for folder in "$work/missing" "$work/not-a-prefix"; do
  run fennick-scan --prefix "$folder"
  [[ $status == 2 && $err == *"$folder"* && $err == *--prefix* && $err == *WINEPREFIX* ]] ||
    fail "fennick-scan --prefix $folder: status $status, '$err'"
  run fennick-verify --prefix "$folder" /dev/null
  [[ $status == 2 && $err == *"$folder"* && $err == *--prefix* && $err == *WINEPREFIX* ]] ||
    fail "fennick-verify --prefix $folder: status $status, '$err'"
  status=0
  WINEPREFIX=$folder "$bin/fennick-scan" > /dev/null 2> "$work/err" || status=$?
  [[ $status == 2 ]] && grep -q -- "$folder" "$work/err" || fail "WINEPREFIX=$folder: status $status"
done
run fennick-scan --prefix "$work/prefix" --json
[[ $status == 0 && $out == *'"affected": []'* ]] || fail "a bare prefix: status $status"

# The demo machine in French: the label's own punctuation, and the
# terminal's character set (a Latin-1 locale compiled for the test; glibc
# reads it through LOCPATH).
prefix=$work/demo
"$FENNICK_SOURCE_DIR/tools/make-demo-prefix" "$prefix" > /dev/null
export FENNICK_TRUSTED_CERTS=$prefix/trusted
unset LANGUAGE LC_ALL LC_MESSAGES LC_CTYPE
status=0
LANG=fr_FR.UTF-8 "$bin/fennick-scan" --prefix "$prefix" > "$work/fr-utf8.txt" || status=$?
[[ $status == 1 ]] || fail "French scan: status $status"
grep -q '^    Obtenir la mise à jour : https://' "$work/fr-utf8.txt" ||
  fail "French label: $(grep -m1 Obtenir "$work/fr-utf8.txt")"
mkdir -p "$work/locales"
compile_latin1() {
  command -v iconv > /dev/null &&
    localedef -i fr_FR -f ISO-8859-1 "$work/locales/fr_FR.ISO-8859-1" 2> /dev/null
}
if has_or_fails "the Latin-1 terminal needs iconv and a locale fr_FR.ISO-8859-1 that localedef compiles (the locales package)" compile_latin1; then
  LOCPATH=$work/locales LANG=fr_FR.ISO-8859-1 "$bin/fennick-scan" --prefix "$prefix" \
    > "$work/fr-latin1.txt" || true
  iconv -f UTF-8 -t ISO-8859-1 "$work/fr-utf8.txt" | cmp -s - "$work/fr-latin1.txt" ||
    fail "Latin-1 terminal: the text is not the French text in ISO-8859-1"
fi
# LANGUAGE chooses among translations only under a real locale.
LANG=C LANGUAGE=fr_FR "$bin/fennick-scan" --prefix "$prefix" > "$work/c.txt" || true
grep -q '^    Get Update: https://' "$work/c.txt" || fail "LANGUAGE under the C locale was not ignored"

((failures == 0)) && echo "command-line: all checks passed"
((failures == 0))
