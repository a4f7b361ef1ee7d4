# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by scripts/run, scripts/test and scripts/bench: packages, configure and build.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building and running the application needs on Debian 12.
RUN_PACKAGES=(cmake ninja-build g++ make pkg-config qt6-base-dev qt6-base-dev-tools libqt6printsupport6
              libcups2-dev zlib1g-dev
              fonts-liberation fontconfig qt6-translations-l10n)
# What the tests need besides: QuaZip, which builds the reader tests' workbooks independently of our
# own zip writer, a private CUPS with a PDF queue, PDF tools, Xvfb, openbox with xdotool and the X
# utilities (xprop) for the window tests under a window manager, Google Benchmark, clang-format for
# the format check, and the packaging checks (dpkg-shlibdeps needs dpkg-dev and file; lintian;
# hardening-check from devscripts; appstream-util beside appstreamcli; man-db and groff-base to
# format and index the manual page), and AT-SPI on a private session bus for the screen-reader test
# (at-spi2-core, python3-pyatspi, dbus-daemon's dbus-run-session). The fuzzers' clang and the screenshots' imagemagick are installed by their own
# scripts.
TEST_PACKAGES=("${RUN_PACKAGES[@]}" libquazip1-qt6-dev libbenchmark-dev cups cups-client cups-bsd
               printer-driver-cups-pdf poppler-utils xvfb xauth openbox xdotool x11-utils
               desktop-file-utils appstream appstream-util dpkg-dev file lintian devscripts man-db
               groff-base clang-format at-spi2-core python3-pyatspi dbus-daemon)

# Installs the packages that are missing; as a normal user, says what to run and stops.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Install them as root, then run this script again:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt_install "${missing[@]}"
}

# apt_install PACKAGE...: as root. A machine whose last dpkg run was cut short refuses every install
# until it is finished, so it is finished first; another apt holding the lock is waited for.
apt_install() {
    export DEBIAN_FRONTEND=noninteractive
    local apt=(apt-get -o DPkg::Lock::Timeout=600 -o Dpkg::Options::=--force-confdef
               -o Dpkg::Options::=--force-confold)
    if [ -n "$(dpkg --audit 2>/dev/null)" ] || [ -n "$(ls -A /var/lib/dpkg/updates 2>/dev/null)" ]; then
        echo "Finishing an interrupted dpkg run first"
        dpkg --force-confdef --force-confold --configure -a || true
        "${apt[@]}" install -f -y -qq || true
    fi
    "${apt[@]}" update -qq
    "${apt[@]}" install -y -qq --no-install-recommends "$@"
}

# configure_and_build BUILD_DIR [cmake options...]: with Ninja, which schedules the whole build's
# steps on every core (make's recursive runs wait for each target's own steps). A folder configured
# for another generator by an earlier version of this script is configured afresh.
configure_and_build() {
    local dir=$1
    shift
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt"; then
        rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}

# stage NAME COMMAND...: runs a step of a script and says how long it took.
stage() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    echo "== $name: $((SECONDS - start)) s"
}
