#!/usr/bin/env bash
# The window that is built for users carries no end-to-end test driver:
# none of the driver's symbols, environment variable names or page channel
# are in the binary, so no environment makes it run a script in its page.
# The same probe must find them all in the window's test build, so that an
# empty probe cannot pass.
#
#   window-shipped.sh [BINARY]   (default: $FENNICK_BINARY_DIR/orvia-fennick)
set -euo pipefail
bin=${FENNICK_BINARY_DIR:?}
shipped=${1:-$bin/orvia-fennick}
test_build=$bin/tools/orvia-fennick-test

fail() {
  echo "window-shipped: $*" >&2
  exit 1
}

markers=(PageTestDriver FENNICK_TEST_SCRIPT FENNICK_TEST_OUT FENNICK_TEST_CONFIRM
         fennickTest fennick-test-driver.js)

# What a binary shows of itself: its printable strings and its symbols,
# static and dynamic, demangled (a stripped binary has only the latter).
contents() {
  strings -a "$1"
  nm -C "$1" 2>/dev/null || true
  nm -C -D "$1" 2>/dev/null || true
}

[[ -x $shipped ]] || fail "$shipped is missing"
[[ -x $test_build ]] || fail "the window's test build $test_build is missing"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
contents "$shipped" >"$work/shipped"
contents "$test_build" >"$work/test-build"

for marker in "${markers[@]}"; do
  grep -qF -- "$marker" "$work/test-build" ||
    fail "the probe does not find $marker even in the test build $test_build"
  if grep -F -m 3 -- "$marker" "$work/shipped" >&2; then
    fail "$shipped contains the test driver's $marker"
  fi
done
echo "window-shipped: $shipped has none of ${#markers[@]} test driver markers"
