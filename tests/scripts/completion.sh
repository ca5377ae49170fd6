#!/usr/bin/env bash
# Bash completion of both tools in an interactive bash (bash -i) with the
# system's bash-completion: found by the command's name as the package
# installs it, completing options, the values of --type and --only, folders
# after --prefix and files after the options.
#
#   completion.sh [COMPLETIONS-DIR]
# COMPLETIONS-DIR holds the completion files (default: packaging/completion
# of the source tree; the package test passes the installed folder).
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
[[ -f /usr/share/bash-completion/bash_completion ]] ||
  skip_or_fail "needs bash-completion, which is not installed"
source_dir=${FENNICK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
completions=${1:-$source_dir/packaging/completion}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# bash-completion looks for a command's completion under
# $XDG_DATA_DIRS/bash-completion/completions/<command>, as it finds the
# package's in /usr/share.
mkdir -p "$work/share/bash-completion" "$work/files/sub.dir" "$work/files/folder"
ln -s "$completions" "$work/share/bash-completion/completions"
touch "$work/files/a.exe" "$work/files/config.xml"

# The commands an interactive bash runs for one completion: the words of the
# command line from $WORDS_FILE (one a line; the last, the word being
# completed, may be empty), the completion found by the command's name, and
# what it offers, a line each.
cat > "$work/driver" <<'DRIVER'
source /usr/share/bash-completion/bash_completion
mapfile -t COMP_WORDS < "$WORDS_FILE"
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE="${COMP_WORDS[*]}"
COMP_POINT=${#COMP_LINE}
_completion_loader "${COMP_WORDS[0]}"
registered=$(complete -p "${COMP_WORDS[0]}")
function=${registered#*-F }
function=${function%% *}
"$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf 'OFFER %s\n' "${COMPREPLY[@]}"
DRIVER

# offers WORDS...: what an interactive bash offers for the last of WORDS,
# sorted, separated by blanks.
offers() {
  printf '%s\n' "$@" > "$work/words"
  (cd "$work/files" && WORDS_FILE="$work/words" XDG_DATA_DIRS="$work/share" HOME="$work" \
    bash --norc --noprofile -i < "$work/driver" 2>/dev/null) |
    sed -n 's/^OFFER //p' | sort | tr '\n' ' ' | sed 's/ $//'
}

# expect OFFERS WORDS...: the offers for the last of WORDS are OFFERS.
expect() {
  local wanted=$1 got
  shift
  got=$(offers "$@")
  [[ $got == "$wanted" ]] || fail "'$*': offered '$got', expected '$wanted'"
}

expect "--type" fennick-verify --ty
expect "--follow-links" fennick-verify --fo
expect "--company --config --csv" fennick-verify --c
expect "jar pe" fennick-verify --type ""
expect "jar" fennick-verify --type j
expect "affected failed unsigned verified" fennick-verify --json --only ""
expect "folder sub.dir" fennick-verify --prefix ""
expect "config.xml" fennick-verify --config c
expect "a.exe" fennick-verify -r a
expect "a.exe config.xml folder sub.dir" fennick-verify -r ""
expect "" fennick-verify -- --j
expect "--prefix" fennick-scan --p
expect "--jobs --json" fennick-scan --j
expect "folder sub.dir" fennick-scan --prefix ""

((failures == 0)) && echo "completion: all checks passed"
((failures == 0))
