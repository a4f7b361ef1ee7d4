#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what `cmake --install` and `cpack -G DEB` produce: the file list and its permissions, the
# control fields, the desktop entry, the AppStream metadata, the manual pages, the copyright file and
# changelog, what lintian says of the package (no error, no warning, and only the info tags written
# down below with their reasons), the hardening of the executable, and what the maintainer scripts do
# to the shared archive directory. The package is installed, upgraded, removed and purged by dpkg in a
# private root, so the machine is not touched; the package checked is left in BUILD_DIR/package for
# install-package.sh, which installs it on the machine for real.
#
# usage: check-package.sh BUILD_DIR CPACK_COMMAND VERSION SYSTEM_DIR
set -euo pipefail

BUILD=$1
CPACK=$2
VERSION=$3
SYSTEM_DIR=${4%/}
APP_ID=it.cedolario.Cedolario

WORK=$(mktemp -d)
cleanup() {
    rm -rf "$WORK"
}
trap cleanup EXIT

source "$(dirname "$0")/checks.sh"

mode_of() { stat -c '%a' "$1"; }

# --- The package -------------------------------------------------------------------------------
"$CPACK" -G DEB -B "$WORK/out" --config "$BUILD/CPackConfig.cmake" >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log" >&2; echo "FAIL: cpack did not build the package" >&2; exit 1; }
ARCH=$(dpkg --print-architecture)
DEB="$WORK/out/cedolario_${VERSION}_${ARCH}.deb"
[ -f "$DEB" ] || { echo "FAIL: no $DEB; cpack made: $(ls "$WORK/out")" >&2; exit 1; }

# File list: exactly these entries (mode, owner, path). The shared archive directory is made by the
# postinst, not shipped, so dpkg never owns, resets or removes it.
cat >"$WORK/expected-files" <<EOF
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/cedolario
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/applications/
-rw-r--r-- root/root ./usr/share/applications/$APP_ID.desktop
drwxr-xr-x root/root ./usr/share/icons/
drwxr-xr-x root/root ./usr/share/icons/hicolor/
drwxr-xr-x root/root ./usr/share/icons/hicolor/scalable/
drwxr-xr-x root/root ./usr/share/icons/hicolor/scalable/apps/
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/$APP_ID.svg
drwxr-xr-x root/root ./usr/share/metainfo/
-rw-r--r-- root/root ./usr/share/metainfo/$APP_ID.metainfo.xml
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/cedolario/
-rw-r--r-- root/root ./usr/share/doc/cedolario/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/cedolario/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/cedolario.1.gz
drwxr-xr-x root/root ./usr/share/man/it/
drwxr-xr-x root/root ./usr/share/man/it/man1/
-rw-r--r-- root/root ./usr/share/man/it/man1/cedolario.1.gz
EOF
dpkg-deb -c "$DEB" | awk '{ print $1, $2, $6 }' | sort >"$WORK/actual-files"
sort -u -o "$WORK/expected-files" "$WORK/expected-files"
diff -u "$WORK/expected-files" "$WORK/actual-files" >&2 || fail "file list of the package differs (- expected, + actual)"

# Control fields.
expect_equal "Package" cedolario "$(dpkg-deb -f "$DEB" Package)"
expect_equal "Version" "$VERSION" "$(dpkg-deb -f "$DEB" Version)"
expect_equal "Architecture" "$ARCH" "$(dpkg-deb -f "$DEB" Architecture)"
# A maintainer that mail reaches: a name and an address.
[[ "$(dpkg-deb -f "$DEB" Maintainer)" =~ ^[^\<\>@]+\ \<[^\<\>@\ ]+@[^\<\>@\ ]+\.[a-z]+\>$ ]] ||
    fail "Maintainer is not 'Name <address>': $(dpkg-deb -f "$DEB" Maintainer)"
depends=$(dpkg-deb -f "$DEB" Depends)
for dep in fonts-liberation passwd libcups2 libc6 libqt6core6 libqt6widgets6; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done

# Maintainer scripts: a postinst alone; nothing runs on removal or purge.
dpkg-deb -e "$DEB" "$WORK/control"
expect_equal "control members" "control md5sums postinst" "$(cd "$WORK/control" && echo *)"
[ -x "$WORK/control/postinst" ] || fail "postinst is not executable"
sh -n "$WORK/control/postinst" || fail "postinst is not valid sh"

# The installed files themselves.
dpkg-deb -x "$DEB" "$WORK/data"
desktop-file-validate "$WORK/data/usr/share/applications/$APP_ID.desktop" >&2 ||
    fail "desktop-file-validate rejects the desktop entry"
METAINFO="$WORK/data/usr/share/metainfo/$APP_ID.metainfo.xml"
appstreamcli validate --pedantic --no-net "$METAINFO" >"$WORK/appstream.log" 2>&1 ||
    { cat "$WORK/appstream.log" >&2; fail "appstreamcli rejects the metadata"; }
# Its one pedantic remark is the upper-case letter of the reverse-DNS id, which the desktop entry and
# the icon share; any other remark fails.
if grep -E '^[EWIP]: ' "$WORK/appstream.log" | grep -v 'cid-contains-uppercase-letter' >&2; then
    fail "appstreamcli --pedantic remarks on the metadata"
fi
# appstream-util checks the screenshots' addresses too when it may go on line; here it may not.
if command -v appstream-util >/dev/null; then
    appstream-util validate --nonet "$METAINFO" >"$WORK/appstream-util.log" 2>&1 ||
        { cat "$WORK/appstream-util.log" >&2; fail "appstream-util rejects the metadata"; }
else
    fail "appstream-util is not installed (apt-get install appstream-util)"
fi
expect_equal "metadata licence" GPL-3.0-or-later "$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' "$METAINFO")"
for picture in screenshot.png slip-2frame.png slip-premarcati.png; do
    grep -q "<image type=\"source\"[^>]*>https://[^<]*/$picture</image>" "$METAINFO" ||
        fail "metadata shows no screenshot $picture"
done
# The archive is each user's own; only an administrator's choice shares it.
if grep -qi 'shared by the users\|comune a tutti' "$METAINFO"; then fail "metadata says the archive is shared by all"; fi
desktop_key() { sed -n "s/^$1=//p" "$WORK/data/usr/share/applications/$APP_ID.desktop"; }
expect_equal "desktop Exec" cedolario "$(desktop_key Exec)"
expect_equal "desktop Icon" "$APP_ID" "$(desktop_key Icon)"
expect_equal "desktop Italian comment" "Compila e stampa i bollettini di conto corrente postale" \
    "$(desktop_key 'Comment\[it\]')"
grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" \
    "$WORK/data/usr/share/metainfo/$APP_ID.metainfo.xml" || fail "metadata does not launch $APP_ID.desktop"
grep -q '<svg' "$WORK/data/usr/share/icons/hicolor/scalable/apps/$APP_ID.svg" || fail "icon is not an SVG picture"

# Licence and history, where Debian keeps them: a machine-readable copyright file naming the GPL 3 or
# later, and a changelog whose newest entry is this version.
DOC="$WORK/data/usr/share/doc/cedolario"
head -n 1 "$DOC/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright file is not in the machine-readable format"
grep -qx 'License: GPL-3+' "$DOC/copyright" || fail "copyright file does not name the GPL 3 or later"
grep -q '/usr/share/common-licenses/GPL-3' "$DOC/copyright" || fail "copyright file does not point to the licence text"
expect_equal "changelog version" "$VERSION" "$(zcat "$DOC/changelog.gz" | dpkg-parsechangelog -l - -S Version)"

# The manual page in English and in Italian: found by its NAME line, formatted without a warning.
for page in man1 it/man1; do
    file="$WORK/data/usr/share/man/$page/cedolario.1.gz"
    lexgrog "$file" | grep -q ': "cedolario - ' || fail "$page/cedolario.1: no NAME line ($(lexgrog "$file" 2>&1))"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" >"$WORK/man.txt" 2>"$WORK/man.log" ||
        fail "$page/cedolario.1 does not format"
    [ ! -s "$WORK/man.log" ] || { cat "$WORK/man.log" >&2; fail "$page/cedolario.1 formats with warnings"; }
    # Every command of ours that --help lists is in the page.
    for option in --stampa --pdf --importa --anche-presenti --foglio --esporta --version --help; do
        grep -q -- "$option" "$WORK/man.txt" || fail "$page/cedolario.1 does not name $option"
    done
    for word in PRINTER LPDEST XDG_DATA_HOME fillcp.dll "$SYSTEM_DIR" copie; do
        grep -q -- "$word" "$WORK/man.txt" || fail "$page/cedolario.1 does not name $word"
    done
done
[ "$(zcat "$WORK/data/usr/share/man/man1/cedolario.1.gz" | grep -c '^\.SH')" = \
  "$(zcat "$WORK/data/usr/share/man/it/man1/cedolario.1.gz" | grep -c '^\.SH')" ] ||
    fail "the English and the Italian page have different sections"

# The executable as Debian hardens it: PIE, stack protector, fortified functions, read-only
# relocations bound at start. Control-flow protection (IBT and SHSTK marks) is not asked for: the
# linker marks a program only when every object in it is marked, and Debian 12's C library start
# files (Scrt1.o, crti.o, crtn.o) are not, so no program linked on Debian 12 has the marks (neither
# /usr/bin/ls nor dpkg); the code of ours is built with -fcf-protection all the same.
if command -v hardening-check >/dev/null; then
    hardening-check --nocfprotection "$WORK/data/usr/bin/cedolario" >"$WORK/hardening.log" 2>&1 ||
        { cat "$WORK/hardening.log" >&2; fail "hardening-check: the executable is not hardened"; }
else
    fail "hardening-check is not installed (apt-get install devscripts)"
fi

# lintian, as pedantic as it goes: no error, no warning. Info and pedantic tags only where the reason
# is written here:
# - hardening-no-fortify-functions: lintian counts a fortified memcpy or memset as nothing (it leaves
#   them out for their false alarms), and those are the copies whose buffers the compiler can size;
#   the program's read, pread and getgroups write into buffers sized at run time on the heap
#   (QByteArray, std::vector), where _FORTIFY_SOURCE has nothing to check against. hardening-check,
#   which counts every fortified function, finds them above.
LINTIAN_EXPLAINED='^I: cedolario: hardening-no-fortify-functions \[usr/bin/cedolario\]$'
if command -v lintian >/dev/null; then
    lintian -i -I --pedantic --tag-display-limit 0 "$DEB" >"$WORK/lintian.log" 2>&1 || true
    if grep -qE '^[EW]: ' "$WORK/lintian.log"; then
        cat "$WORK/lintian.log" >&2
        fail "lintian finds errors or warnings in the package"
    fi
    unexplained=$(grep -E '^[IPXO]: ' "$WORK/lintian.log" | grep -vE "$LINTIAN_EXPLAINED" || true)
    if [ -n "$unexplained" ]; then
        echo "$unexplained" >&2
        fail "lintian gives tags without a written reason"
    fi
else
    fail "lintian is not installed (apt-get install lintian)"
fi

# --- dpkg in a private root --------------------------------------------------------------------
# Each row: name, what an earlier install or an administrator left at the archive directory ("none":
# nothing; a mode: a directory of that mode; "link": a link to a directory elsewhere), and whether an
# archive file is in it. After install and reinstall a directory must be 2770 root:cedolario with its
# files 0660 of that group; a link is left alone; the archive must come through install, reinstall,
# remove and purge with its bytes unchanged.
private_dpkg() {
    dpkg --root="$ROOT" --force-script-chrootless --force-depends --force-not-root --log=/dev/null "$@" \
        >>"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log" >&2; fail "dpkg $*"; }
}
new_private_root() {
    ROOT="$WORK/root-$1"
    mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates" "$ROOT/etc"
    touch "$ROOT/var/lib/dpkg/status"
    printf 'root:x:0:\n' >"$ROOT/etc/group"
    printf 'root:*::\n' >"$ROOT/etc/gshadow"
}
group_in_root() { awk -F: '$1 == "cedolario" { print $3 }' "$ROOT/etc/group"; }
shape_of() { stat -c '%a %u %g' "$1"; }
while read -r name old archive; do
    new_private_root "$name"
    dir="$ROOT$SYSTEM_DIR"
    elsewhere="$WORK/elsewhere-$name"
    case "$old" in
    none) ;;
    link)
        mkdir -p "$elsewhere" "$(dirname "$dir")"
        chmod 0777 "$elsewhere"
        ln -s "$elsewhere" "$dir"
        ;;
    *)
        mkdir -p "$dir"
        chmod "$old" "$dir"
        ;;
    esac
    if [ "$archive" = yes ]; then
        printf '?*@1\xe7*^\r\n08 dicembre 2026\r\n' >"$dir/fillcp.dll"
        chmod 0666 "$dir/fillcp.dll"
        cp "$dir/fillcp.dll" "$WORK/archive-$name"
    fi
    private_dpkg --install "$DEB"
    gid=$(group_in_root)
    [ -n "$gid" ] || fail "$name: the group cedolario was not made"
    if [ "$old" = link ]; then
        [ -L "$dir" ] || fail "$name: the link was replaced"
        expect_equal "$name: directory behind the link left alone" 777 "$(mode_of "$elsewhere")"
        expect_equal "$name: archive behind the link left alone" 666 "$(mode_of "$elsewhere/fillcp.dll")"
    else
        expect_equal "$name: archive directory after install" "2770 0 $gid" "$(shape_of "$dir")"
        if [ "$archive" = yes ]; then
            expect_equal "$name: archive after install" "660 0 $gid" "$(shape_of "$dir/fillcp.dll")"
        fi
        chmod 0777 "$dir"
        private_dpkg --install "$DEB"
        expect_equal "$name: archive directory after reinstall" "2770 0 $gid" "$(shape_of "$dir")"
        expect_equal "$name: one group however often installed" 1 "$(grep -c '^cedolario:' "$ROOT/etc/group")"
    fi
    private_dpkg --remove cedolario
    if [ -e "$ROOT/usr/bin/cedolario" ]; then fail "$name: executable left after remove"; fi
    private_dpkg --purge cedolario
    if [ "$archive" = yes ]; then
        cmp -s "$WORK/archive-$name" "$dir/fillcp.dll" || fail "$name: archive lost or changed by remove and purge"
    fi
    if [ "$old" != link ] && [ ! -d "$dir" ]; then fail "$name: archive directory removed by purge"; fi
done <<'ROWS'
fresh_machine none no
earlier_install_writable_by_all 777 yes
directory_made_by_root 755 yes
sticky_directory 1777 yes
link_in_its_place link yes
ROWS

# The postinst changes only the files it has checked: a link in the directory to a file elsewhere, and
# a second name of a file elsewhere, leave that file as it was; a subdirectory is not entered.
new_private_root links
dir="$ROOT$SYSTEM_DIR"
mkdir -p "$dir/inner" "$WORK/outside"
chmod 0777 "$dir"
printf 'private\n' >"$WORK/outside/linked"
printf 'private\n' >"$WORK/outside/second-name"
printf 'inner\n' >"$dir/inner/file"
chmod 0644 "$WORK/outside/linked" "$WORK/outside/second-name" "$dir/inner/file"
ln -s "$WORK/outside/linked" "$dir/fillcp.dll"
ln "$WORK/outside/second-name" "$dir/fillcp.dll.lock"
printf 'archive\n' >"$dir/fillcp.dll.1"
private_dpkg --install "$DEB"
gid=$(group_in_root)
expect_equal "file behind a link in the directory" "644 0 0" "$(shape_of "$WORK/outside/linked")"
expect_equal "file with a second name in the directory" "644 0 0" "$(shape_of "$WORK/outside/second-name")"
expect_equal "file in a subdirectory" "644 0 0" "$(shape_of "$dir/inner/file")"
expect_equal "regular file beside them" "660 0 $gid" "$(shape_of "$dir/fillcp.dll.1")"
expect_equal "directory with links in it" "2770 0 $gid" "$(shape_of "$dir")"
if grep -qE 'find .*-exec|chown -R|chmod -R|chgrp -R' "$WORK/control/postinst"; then
    fail "the postinst changes owners or modes recursively"
fi

# Members of the group share the archive: one may rename a new file over root's; anyone else is kept out.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    new_private_root shared
    chmod 0755 "$WORK"
    private_dpkg --install "$DEB"
    gid=$(group_in_root)
    echo old >"$ROOT$SYSTEM_DIR/fillcp.dll"
    setpriv --reuid=65534 --regid=65534 --groups="$gid" sh -c \
        'echo new >"$1/fillcp.dll.tmp" && mv "$1/fillcp.dll.tmp" "$1/fillcp.dll"' sh "$ROOT$SYSTEM_DIR" ||
        fail "a member of the group cannot rename a new archive over root's"
    expect_equal "archive rewritten by a member of the group" new "$(cat "$ROOT$SYSTEM_DIR/fillcp.dll")"
    if setpriv --reuid=65534 --regid=65534 --clear-groups sh -c 'cat "$1/fillcp.dll"' sh "$ROOT$SYSTEM_DIR" \
        >/dev/null 2>&1; then
        fail "a user outside the group reads the shared archive"
    fi
fi

# --- cmake --install ---------------------------------------------------------------------------
DESTDIR="$WORK/dest" cmake --install "$BUILD" --prefix /opt/cedolario >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log" >&2; fail "cmake --install"; }
for file in bin/cedolario share/applications/$APP_ID.desktop share/metainfo/$APP_ID.metainfo.xml \
    share/icons/hicolor/scalable/apps/$APP_ID.svg; do
    [ -f "$WORK/dest/opt/cedolario/$file" ] || fail "cmake --install did not install $file"
done
# The shared directory needs its group: only the package makes it.
if [ -e "$WORK/dest$SYSTEM_DIR" ]; then fail "cmake --install made $SYSTEM_DIR"; fi

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
mkdir -p "$BUILD/package"
cp "$DEB" "$BUILD/package/cedolario.deb"
echo "package $DEB checked"
