#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the package check-package.sh has checked on this machine for real, with apt, and purges it
# again: the shared archive directory and the group the postinst makes, and the archive the purge
# keeps. Only as root with CEDOLARIO_INSTALL_TEST=1 (CI); otherwise it is skipped (exit status 77).
# It runs alone: while the package is installed, root's other tests would take its shared archive
# directory for theirs.
# usage: install-package.sh BUILD_DIR SYSTEM_DIR
set -euo pipefail

BUILD=$1
SYSTEM_DIR=${2%/}
DEB="$(cd "$BUILD" && pwd)/package/cedolario.deb"

if [ "${CEDOLARIO_INSTALL_TEST:-0}" != 1 ]; then
    echo "Real installation not asked for (CEDOLARIO_INSTALL_TEST=1, as root)"
    exit 77
fi
[ "$(id -u)" -eq 0 ] || { echo "FAIL: CEDOLARIO_INSTALL_TEST=1 needs root" >&2; exit 1; }
[ -f "$DEB" ] || { echo "FAIL: no checked package at $DEB" >&2; exit 1; }
if dpkg-query -W cedolario >/dev/null 2>&1 || [ -e "$SYSTEM_DIR" ]; then
    # Never disturb an installed Cedolario or a real archive.
    echo "Real installation skipped: cedolario or $SYSTEM_DIR is already on this machine"
    exit 77
fi

WORK=$(mktemp -d)
# A group the package makes goes with the test, one that was there stays.
REMOVE_GROUP=no
getent group cedolario >/dev/null || REMOVE_GROUP=yes
cleanup() {
    dpkg --purge cedolario >/dev/null 2>&1 || true
    rm -rf "$SYSTEM_DIR"
    if [ "$REMOVE_GROUP" = yes ]; then groupdel cedolario 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

source "$(dirname "$0")/checks.sh"

apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$DEB" >"$WORK/apt.log" 2>&1 ||
    { cat "$WORK/apt.log" >&2; fail "apt-get install of the package"; exit 1; }
real_gid=$(getent group cedolario | cut -d: -f3)
[ -n "$real_gid" ] || fail "the real install made no group cedolario"
expect_equal "real archive directory" "2770 0 $real_gid" "$(stat -c '%a %u %g' "$SYSTEM_DIR")"
[ -x /usr/bin/cedolario ] || fail "/usr/bin/cedolario missing after the real install"
echo archive >"$SYSTEM_DIR/fillcp.dll"
apt-get purge -y -qq -o DPkg::Lock::Timeout=300 cedolario >>"$WORK/apt.log" 2>&1 ||
    { cat "$WORK/apt.log" >&2; fail "apt-get purge cedolario"; }
expect_equal "archive after the real purge" archive "$(cat "$SYSTEM_DIR/fillcp.dll" 2>/dev/null)"

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
echo "package installed, checked and purged"
