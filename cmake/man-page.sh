#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes one language's manual page from the two-language source (src/cli/cedolario.man), compressed
# as Debian installs manual pages (gzip -9n: no name, no time stamp, so the same source gives the same
# bytes).
#   man-page.sh SOURCE LANGUAGE VERSION SYSTEM_DIR OUTPUT.gz
set -eu
source=$1 language=$2 version=$3 system_dir=$4 output=$5
mkdir -p "$(dirname "$output")"
sed -e "/^[a-z][a-z]| /{/^$language| /!d}" -e "s/^$language| //" \
    -e "s|@VERSION@|$version|g" -e "s|@SYSTEM_DIR@|$system_dir|g" "$source" | gzip -9n >"$output.tmp"
mv "$output.tmp" "$output"
