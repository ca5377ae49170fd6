# The verdicts of the two archive checkers, as shell functions: verified
# (0 or 6), unsigned (2), broken (3), unreadable (1). Sourced by
# tests/scripts/jarsigner-compare.sh and tests/corpus/real-archives.sh.

# jarsigner treats MD5 and SHA-1 signatures as unsigned by default; let it
# judge them.
jar_verdicts_security=$(mktemp)
printf 'jdk.jar.disabledAlgorithms=\njdk.certpath.disabledAlgorithms=\n' > "$jar_verdicts_security"

ours() { # fennick-verify archive
  local json result
  json=$("$1" --json --type jar "$2" || true)
  if ! grep -q '"trustStatus": null' <<<"$json"; then
    echo "archive check reported a trust status: $json" >&2
    echo error
    return
  fi
  result=$(sed -n 's/.*"result": \([0-9]*\).*/\1/p' <<<"$json")
  case $result in
  0 | 6) echo verified ;;
  1) echo unreadable ;;
  2) echo unsigned ;;
  3) echo broken ;;
  *) echo "result-$result" ;;
  esac
}

theirs() { # archive
  local output
  output=$(jarsigner -J-Djava.security.properties="$jar_verdicts_security" -verify "$1" 2>&1 || true)
  if grep -q 'ZipException' <<<"$output"; then
    echo unreadable
  elif grep -q 'SecurityException' <<<"$output"; then
    echo broken
  elif grep -qE 'jar is unsigned|treated as unsigned' <<<"$output"; then
    echo unsigned
  elif grep -q 'jar verified' <<<"$output"; then
    echo verified
  else
    echo unknown
  fi
}
