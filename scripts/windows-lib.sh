# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows stage's pieces, sourced by scripts/windows.
# shellcheck shell=bash

WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 nsis xvfb xauth
                  qt6-base-dev qt6-base-dev-tools dpkg-dev fonts-liberation poppler-utils)

QT_WINDOWS_VERSION=6.4.2
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
# Only what the program needs: Core, Gui, Widgets, PrintSupport and Test, the windows, offscreen and
# minimal platforms, Windows print support. Each option that is not obvious is needed for the build:
# FreeType for the offscreen platform, Direct2D for PrintSupport to link, no dynamic GL for the
# windows platform to compile, no tablet events since Debian's source lacks wintab.
QT_WINDOWS_OPTIONS=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_pkg_config=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF
    -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=ON
    -DFEATURE_direct2d1_1=OFF -DFEATURE_tabletevent=OFF -DFEATURE_freetype=ON
    -DFEATURE_system_freetype=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF)

if [ -z "${CEDOLARIO_CACHE:-}" ]; then
    if [ "$(id -u)" -eq 0 ]; then CEDOLARIO_CACHE=/var/cache/cedolario
    else CEDOLARIO_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/cedolario"; fi
fi
WINDOWS_BUILD="$ROOT/build/windows"

# Source packages must be enabled for apt-get source; Debian 12 lists them in debian.sources.
enable_source_packages() {
    local list=/etc/apt/sources.list.d/debian.sources
    if grep -Rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ] || [ ! -f "$list" ]; then
        echo "Building Qt for Windows needs Debian's source packages: add deb-src to Types: in $list," >&2
        echo "run apt-get update, then this script again." >&2
        exit 1
    fi
    sed -i 's/^Types: deb$/Types: deb deb-src/' "$list"
    apt-get update -qq
}

# The cache key: Qt's source version, the compiler's version and everything given to configure.
qt_windows_key() {
    local version gcc
    version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
    gcc=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
    printf '%s\n' "$version" "$gcc" "${QT_WINDOWS_OPTIONS[@]}" | cat - "$TOOLCHAIN" | sha256sum | cut -c1-12
}

qt_windows_prefix() {
    echo "$CEDOLARIO_CACHE/qt-$QT_WINDOWS_VERSION-mingw-$(qt_windows_key)"
}

ensure_windows_qt() {
    local prefix work
    prefix=$(qt_windows_prefix)
    if [ -f "$prefix/.complete" ]; then
        echo "Qt for Windows from the cache: $prefix"
        return 0
    fi
    enable_source_packages
    mkdir -p "$CEDOLARIO_CACHE"
    work=$(mktemp -d "$CEDOLARIO_CACHE/qt-build.XXXXXX")
    (
        cd "$work"
        apt-get source -qq qt6-base >/dev/null
        src=$(find . -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
        rm -rf "$prefix"
        cmake -S "$src" -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
            -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
            -DCMAKE_INSTALL_PREFIX="$prefix" "${QT_WINDOWS_OPTIONS[@]}" >configure.log
        cmake --build build --parallel "$(nproc)" >build.log
        cmake --install build >install.log
    ) || {
        echo "Building Qt for Windows failed; its logs are in $work" >&2
        return 1
    }
    touch "$prefix/.complete"
    rm -rf "$work"
}
