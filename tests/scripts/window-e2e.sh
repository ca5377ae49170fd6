#!/usr/bin/env bash
# End-to-end test of the desktop window: starts the window's test build
# (orvia-fennick-test, the window with its test driver) under Xvfb against
# a prefix, once in English and once in German, and lets
# window-e2e.js walk the page through agreement, welcome, progress and
# results, checking texts, keys, the quit question, the close box during the
# scan and the results table. A third run answers the question from Decline
# with Yes and expects the application to end. Snapshots of the four
# screens are kept in <build>/window-e2e/<language>/.
set -euo pipefail

src=${FENNICK_SOURCE_DIR:?}
bin=${FENNICK_BINARY_DIR:?}
exe=$bin/tools/orvia-fennick-test
out=$bin/window-e2e

fail() {
  echo "window-e2e: $*" >&2
  exit 1
}

[[ -x $exe ]] || fail "the window's test build was not built: $exe is missing"
[[ -x $bin/fennick-scan ]] || fail "$bin/fennick-scan is missing"
source "$(dirname "$0")/../requirements.sh"
requires xvfb-run iconv

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"

# The machine: the demo prefix, with products that are affected and
# products that are up to date, some of them with icons of their own.
prefix=$work/prefix
[[ -x $src/tools/make-demo-prefix ]] || fail "tools/make-demo-prefix is missing"
"$src/tools/make-demo-prefix" "$prefix" >"$work/make-demo-prefix.log" 2>&1 ||
  fail "tools/make-demo-prefix failed: $(cat "$work/make-demo-prefix.log")"
# Its signatures verify against the vendor's test root.
export FENNICK_TRUSTED_CERTS=$prefix/trusted
own_icons=1

# The text of a key in a dictionary (UTF-16 lines "$$$/ZFNK/<key>=<text>"),
# with the dictionaries' escaped apostrophe as the page shows it.
dictionary_text() {
  local file=$1 key=$2
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' |
    sed -n "s|^\"\\\$\\\$\\\$/ZFNK/$key=\\(.*\\)\"\$|\\1|p" | sed "s|\\\\'|'|g"
}

json() {
  local text=${1//\\/\\\\}
  text=${text//\"/\\\"}
  printf '"%s"' "$text"
}

# Writes the expectations of one run: var expected = {...};
write_expected() {
  local file=$1 dictionary=$2 lang=$3 agreement=$4 mode=$5
  local d=$src/resources/ZDCT/$dictionary
  [[ -f $d ]] || fail "dictionary $d is missing"
  local texts="" id key
  for pair in eulaScreenTitle:eulaScreenTitle scanScreenTitle:scanScreenTitle \
              progressScreenTitle:progressScreenTitle resultsScreenTitle:resultsScreenTitle \
              eulaScreenDeclineBtn:eulaScreenDeclineBtn eulaScreenAcceptBtn:eulaScreenAcceptBtn \
              scanScreenScanBtn:scanScreenScanBtn resultsScreenQuitBtn:resultsScreenQuitBtn \
              resultsScreenRescanBtn:resultsScreenRescanBtn moreInfoLinkTxt1:moreInfoLinkTxt \
              moreInfoLinkTxt2:moreInfoLinkTxt feedbackLinkTxt:feedbackLinkTxt \
              progressText:progressText; do
    id=${pair%%:*}
    key=${pair#*:}
    texts+="$(json "$id"): $(json "$(dictionary_text "$d" "$key")"),"
  done
  local welcome
  welcome="$(dictionary_text "$d" scanScreenPara1)$(dictionary_text "$d" scanScreenPara2)$(dictionary_text "$d" scanScreenPara3)"
  # The headless scan of the same machine in the same language says what
  # the results screen must show.
  local scan
  scan=$(env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LC_CTYPE LANG="$lang" TMPDIR="$work" \
         "$bin/fennick-scan" --prefix "$prefix" --json) || [[ $? -eq 1 ]] ||
    fail "fennick-scan could not scan $prefix"
  cat >"$file" <<EOF
var expected = {
  mode: $(json "$mode"),
  texts: {${texts%,}},
  welcome: $(json "$welcome"),
  moreInfoLink: $(json "$(dictionary_text "$d" moreInfoLink)"),
  feedbackLink: $(json "$(dictionary_text "$d" feedbackLink)"),
  confirmation: $(json "$(dictionary_text "$d" confirmationDialogTxt)"),
  agreementPage: $(json "$agreement"),
  headings: {affected: $(json "$(dictionary_text "$d" affectedProductsRow)"),
             upToDate: $(json "$(dictionary_text "$d" notAffectedProductRow)"),
             none: $(json "$(dictionary_text "$d" noProductsRow)")},
  getUpdate: $(json "$(dictionary_text "$d" getUpdateLinkTxt)"),
  ownIcons: $own_icons,
  scan: $scan
};
EOF
}

# Runs the window once: name, LANG, answer to the quit question, mode.
run_window() {
  local name=$1 lang=$2 answer=$3
  local dir=$out/$name temp=$work/temp-$name
  mkdir -p "$dir" "$temp"
  cat "$work/expected-$name.js" "$src/tests/scripts/window-e2e.js" >"$work/driver-$name.js"
  local status=0
  env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LC_CTYPE \
    LANG="$lang" TMPDIR="$temp" WEBKIT_DISABLE_COMPOSITING_MODE=1 \
    FENNICK_TEST_SCRIPT="$work/driver-$name.js" FENNICK_TEST_OUT="$dir" \
    FENNICK_TEST_CONFIRM="$answer" \
    timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" "$exe" --prefix "$prefix" \
    >"$dir/output.txt" 2>&1 || status=$?
  [[ -f $dir/report.txt ]] || fail "$name: the driver wrote no report (exit status $status): $(tail -20 "$dir/output.txt")"
  if grep -q '^not ok' "$dir/report.txt"; then
    grep '^not ok' "$dir/report.txt" >&2
    fail "$name: checks failed (full report: $dir/report.txt)"
  fi
  grep -qx done "$dir/report.txt" || fail "$name: the driver did not finish: $(tail -5 "$dir/report.txt")"
  [[ $status -eq 0 ]] || fail "$name: the window did not end by itself (exit status $status)"
  # Ending the dialog removes the session's scratch folder (in the user's own
  # folder inside the temporary one).
  local left
  left=$(find "$temp" -mindepth 1 -maxdepth 2 -type d -name '{*}' | head -1)
  [[ -z $left ]] || fail "$name: the scratch folder $left outlived the window"
  echo "$name: $(grep -c '^ok' "$dir/report.txt") checks passed"
}

write_expected "$work/expected-en.js" 251-en_US.dct en_US.UTF-8 201 screens
write_expected "$work/expected-de.js" 253-de_DE.dct de_DE.UTF-8 210 screens
write_expected "$work/expected-decline.js" 251-en_US.dct en_US.UTF-8 201 decline-yes
run_window en en_US.UTF-8 no
run_window de de_DE.UTF-8 no
run_window decline en_US.UTF-8 yes

for language in en de; do
  for screen in 1-agreement 2-welcome 3-progress 4-results; do
    [[ -s $out/$language/$screen.png ]] || fail "snapshot $out/$language/$screen.png is missing"
  done
done
# The two languages really differ on the page.
cmp -s "$out/en/1-agreement.png" "$out/de/1-agreement.png" &&
  fail "the English and German agreement screens look the same"
echo "window-e2e: all runs passed; snapshots in $out"
