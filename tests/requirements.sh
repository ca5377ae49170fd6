# What a test script needs of the machine beyond the build: tools, a locale.
# Sourced by the scripts under tests/scripts and tests/fixtures.
#
# Inside tools/test (FENNICK_FULL_RUN=1), which installs everything the tests
# need, a missing requirement fails the test. Anywhere else the test (or the
# one check that needs it) is skipped, with the reason printed; a whole
# script that is skipped ends with status 77, which ctest reports as skipped.

# Prints why the test cannot run, then fails it inside tools/test or skips
# it elsewhere (exit 77).
skip_or_fail() {
  if [[ ${FENNICK_FULL_RUN:-} == 1 ]]; then
    echo "$(basename "$0"): $1 (tools/install-deps installs it)" >&2
    exit 1
  fi
  echo "$(basename "$0"): skipped: $1"
  exit 77
}

# The names of the given tools that are not on PATH.
missing_tools() {
  local tool missing=()
  for tool; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  echo "${missing[*]}"
}

# requires TOOL...: the whole test needs every tool named.
requires() {
  local missing
  missing=$(missing_tools "$@")
  [[ -z $missing ]] || skip_or_fail "needs $missing, which is not installed"
}

# has_or_fails REASON CONDITION...: true when the command CONDITION succeeds.
# Otherwise prints REASON, and fails the test inside tools/test (exit 1) or
# returns false elsewhere, so that the caller leaves out the one check.
has_or_fails() {
  local reason=$1
  shift
  "$@" && return 0
  if [[ ${FENNICK_FULL_RUN:-} == 1 ]]; then
    echo "$(basename "$0"): $reason (tools/install-deps installs it)" >&2
    exit 1
  fi
  echo "$(basename "$0"): check left out: $reason"
  return 1
}
