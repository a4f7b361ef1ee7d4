# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows stage's pieces, sourced by scripts/windows.
# shellcheck shell=bash

WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 nsis xvfb xauth
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
    if [ "$(id -u)" -ne 0 ]; then
        echo "Building Qt for Windows needs Debian's source packages: add deb-src to Types: in $list" >&2
        echo "(or deb-src lines to /etc/apt/sources.list), run apt-get update, then this script again." >&2
        exit 1
    fi
    if [ -f "$list" ] && grep -q '^Types: deb$' "$list"; then
        sed -i 's/^Types: deb$/Types: deb deb-src/' "$list"
    else
        # The one-line format: each binary source's twin for sources.
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | sed -n 's/^deb /deb-src /p' \
            >/etc/apt/sources.list.d/cedolario-deb-src.list || true
    fi
    apt-get -o DPkg::Lock::Timeout=600 update -qq
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

# Optimised as Debian builds its own programs, at -O2 (CMake's Release would say -O3): the program is
# as fast for what it does, and compiles in less time.
build_windows() {
    local prefix
    prefix=$(qt_windows_prefix)
    scripts/wine-prefix "$WINDOWS_BUILD/wineprefix"
    cmake -S "$ROOT" -B "$WINDOWS_BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$TOOLCHAIN" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCEDOLARIO_WERROR=ON \
        -DCEDOLARIO_BENCH=OFF >/dev/null
    cmake --build "$WINDOWS_BUILD" --parallel "$(nproc)"
}

# The tests under Wine, headless: the offscreen platform needs no X server. The tests that need
# openbox, AT-SPI or the private CUPS are Linux's only and are not built here.
# One Wine server serves the whole run, started before the first test and stopped after the last.
# The prefix's own services (services.exe, winedevice.exe…) start with the first program and live as
# long as the server, holding open the output streams they were given: started here by a program whose
# streams go nowhere, rather than by the first test, whose output CTest would wait on until the server
# stopped.
test_windows() {
    local status=0
    WINEPREFIX="$WINDOWS_BUILD/wineprefix" wineserver -p
    "$WINDOWS_BUILD/wine-run.sh" cmd /c exit </dev/null >/dev/null 2>&1 || true
    ctest --test-dir "$WINDOWS_BUILD" --output-on-failure --timeout 600 --parallel "$(nproc)" || status=$?
    WINEPREFIX="$WINDOWS_BUILD/wineprefix" wineserver -k || true
    return $status
}

# A folder that runs as it is on Windows: the program and its console twin, the Qt DLLs and plugins
# it loads, MinGW's runtime, Qt's Italian texts.
make_windows_dist() {
    local prefix dist gccdir
    prefix=$(qt_windows_prefix)
    dist="$WINDOWS_BUILD/dist"
    gccdir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    rm -rf "$dist"
    mkdir -p "$dist/platforms" "$dist/styles" "$dist/translations"
    cp "$WINDOWS_BUILD/src/cedolario.exe" "$WINDOWS_BUILD/src/cedolario.com" "$dist/"
    cp "$prefix"/bin/Qt6{Core,Gui,Widgets,PrintSupport}.dll "$dist/"
    # The windows platform for the windows, the offscreen one for the commands without windows.
    cp "$prefix/plugins/platforms/qwindows.dll" "$prefix/plugins/platforms/qoffscreen.dll" "$dist/platforms/"
    cp "$prefix"/plugins/styles/*.dll "$dist/styles/" 2>/dev/null || true
    cp "$gccdir/libgcc_s_seh-1.dll" "$gccdir/libstdc++-6.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$dist/"
    if [ -f /usr/share/qt6/translations/qtbase_it.qm ]; then
        cp /usr/share/qt6/translations/qtbase_it.qm "$dist/translations/"
    fi
    # Qt looks for its plugins and texts beside the program.
    printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$dist/qt.conf"
    cp "$ROOT/LICENSE" "$dist/" 2>/dev/null || true
    # No symbols in what is shipped: libstdc++ alone carries 23 MB of them.
    x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.exe "$dist"/*.com "$dist"/*.dll "$dist"/*/*.dll
    echo "Windows folder: $dist ($(du -sh "$dist" | cut -f1))"
}

# The same sample sheet as a PDF from the Linux build and from the Windows build under Wine: the
# words and where they stand must be the same, so the slips print alike on both systems.
compare_windows_pdf() {
    local linux="$ROOT/build/test/src/cedolario" out="$WINDOWS_BUILD/compare"
    if [ ! -x "$linux" ]; then
        configure_and_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
            -DCEDOLARIO_BENCH=OFF
        linux="$ROOT/build/release/src/cedolario"
    fi
    rm -rf "$out"
    mkdir -p "$out"
    # Each side with an archive of its own, and the slips' date taken from the same sheet.
    XDG_DATA_HOME="$out/linux-data" QT_QPA_PLATFORM=offscreen "$linux" --pdf "$out/linux.pdf" \
        "$ROOT/docs/esempio.csv"
    "$WINDOWS_BUILD/wine-run.sh" "$WINDOWS_BUILD/dist/cedolario.com" --pdf "$out/windows.pdf" \
        "$ROOT/docs/esempio.csv"
    pdftotext -layout "$out/linux.pdf" "$out/linux.txt"
    pdftotext -layout "$out/windows.pdf" "$out/windows.txt"
    pdftotext -bbox "$out/linux.pdf" - | grep '<word' >"$out/linux.words"
    pdftotext -bbox "$out/windows.pdf" - | grep '<word' >"$out/windows.words"
    if ! diff -u "$out/linux.txt" "$out/windows.txt" || ! diff -q "$out/linux.words" "$out/windows.words"; then
        echo "The Windows build's PDF of docs/esempio.csv differs from the Linux build's (see $out)" >&2
        return 1
    fi
    echo "PDF of docs/esempio.csv: the same words at the same places on Linux and on Windows"
}

project_version() {
    sed -n 's/^project(cedolario VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt"
}

# Cedolario-<version>-setup.exe from the folder, with NSIS.
make_windows_installer() {
    local version
    version=$(project_version)
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DDIST="$WINDOWS_BUILD/dist" \
        -DOUTFILE="$WINDOWS_BUILD/Cedolario-$version-setup.exe" "$ROOT/packaging/windows/cedolario.nsi"
    echo "Installer: $WINDOWS_BUILD/Cedolario-$version-setup.exe ($(du -h "$WINDOWS_BUILD/Cedolario-$version-setup.exe" | cut -f1))"
}

# The Windows program's start-up under Wine on a private Xvfb display, until the slip form has painted,
# against an empty Qt window built the same way, launched alternately in the same run with one
# wineserver kept up for all of them; then the sizes of what is shipped. Prints a Markdown table.
bench_windows_startup() {
    local runs=${1:-15} work="$WINDOWS_BUILD/bench" exe
    local app="$WINDOWS_BUILD/bench/startup/cedolario_start_app.exe"
    local empty="$WINDOWS_BUILD/bench/startup/cedolario_start_empty_window.exe"
    rm -rf "$work/data"
    mkdir -p "$work/data"
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    local xvfb=$!
    exec 3>&-
    local deadline=$((SECONDS + 30))
    until [ -s "$work/display" ]; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "Xvfb did not start" >&2; kill $xvfb; return 1; }
        sleep 0.1
    done
    (
        export DISPLAY=":$(cat "$work/display")" WINEPREFIX="$WINDOWS_BUILD/wineprefix" WINEDEBUG=-all
        export WINEPATH="$(qt_windows_prefix)/bin;$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)");/usr/x86_64-w64-mingw32/lib"
        unset QT_QPA_PLATFORM
        wineserver -p
        # One launch of each first, unmeasured: DLLs into the page cache, Wine's registry read.
        wine "$app" 'Z:'"$work/data" >/dev/null 2>&1
        wine "$empty" >/dev/null 2>&1
        : >"$work/app.times"
        : >"$work/empty.times"
        for _ in $(seq "$runs"); do
            for exe in app empty; do
                local start end
                start=$(date +%s%N)
                if [ "$exe" = app ]; then wine "$app" 'Z:'"$work/data" >/dev/null 2>&1
                else wine "$empty" >/dev/null 2>&1; fi
                end=$(date +%s%N)
                echo $(((end - start) / 1000000)) >>"$work/$exe.times"
            done
        done
        wineserver -k
    )
    kill $xvfb 2>/dev/null || true
    local app_median empty_median app_min empty_min
    app_median=$(sort -n "$work/app.times" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    empty_median=$(sort -n "$work/empty.times" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    app_min=$(sort -n "$work/app.times" | head -n 1)
    empty_min=$(sort -n "$work/empty.times" | head -n 1)
    echo "| Launch under Wine ($runs each) | Median | Fastest |"
    echo "|---|--:|--:|"
    echo "| cedolario, to the slip form's first paint | $app_median ms | $app_min ms |"
    echo "| empty Qt window (reference) | $empty_median ms | $empty_min ms |"
    echo "| ratio | $(awk -v a="$app_median" -v e="$empty_median" 'BEGIN {printf "%.2f", a / e}') × | |"
    echo
    echo "| Shipped | Size |"
    echo "|---|--:|"
    echo "| installer $(basename "$WINDOWS_BUILD"/Cedolario-*-setup.exe) | $(du -k "$WINDOWS_BUILD"/Cedolario-*-setup.exe | cut -f1) KiB |"
    echo "| installed folder (build/windows/dist) | $(du -sk "$WINDOWS_BUILD/dist" | cut -f1) KiB |"
}
