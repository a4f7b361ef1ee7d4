# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the package's test scripts: a failed check is counted and told, and the script goes on.
# shellcheck shell=bash
FAILURES=0

fail() {
    echo "FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

expect_equal() { # what expected actual
    [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}
