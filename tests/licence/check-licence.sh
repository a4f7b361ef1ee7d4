#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The project is free software under the GNU GPL, version 3 or later: LICENSE holds the licence text
# exactly as Debian ships it, and every source, script and build file names its licence in an SPDX
# line at its head (after the #! line of a script). Pictures, sample sheets, fuzz corpora and the
# documents are covered by the package's copyright file instead.
#   check-licence.sh SOURCE_DIR
set -euo pipefail
cd "$1"
failures=0

if [ -f /usr/share/common-licenses/GPL-3 ]; then
    cmp -s LICENSE /usr/share/common-licenses/GPL-3 ||
        { echo "FAIL: LICENSE differs from /usr/share/common-licenses/GPL-3" >&2; failures=$((failures + 1)); }
else
    grep -q 'GNU GENERAL PUBLIC LICENSE' LICENSE && grep -q 'Version 3, 29 June 2007' LICENSE ||
        { echo "FAIL: LICENSE is not the GNU GPL version 3" >&2; failures=$((failures + 1)); }
fi

# The sources: from git when this is a clone, otherwise every file of the kinds below.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files)
else
    mapfile -t files < <(find . -type f -not -path './build/*' -not -path './.git/*' | sed 's|^\./||')
fi
checked=0
for file in "${files[@]}"; do
    [ -f "$file" ] || continue
    case "$file" in
    *.cpp | *.h | *.h.in | *.cmake | *.sh | *.py | *.in | *.man | */CMakeLists.txt | CMakeLists.txt) ;;
    scripts/* | .ci/*) ;;
    *) continue ;;
    esac
    checked=$((checked + 1))
    first=$(head -n 1 "$file")
    if [[ $first == '#!'* ]]; then first=$(sed -n 2p "$file"); fi
    case "$first" in
    '// SPDX-License-Identifier: GPL-3.0-or-later' | '# SPDX-License-Identifier: GPL-3.0-or-later' | \
        '.\" SPDX-License-Identifier: GPL-3.0-or-later') ;;
    *)
        echo "FAIL: $file does not begin with its SPDX-License-Identifier line" >&2
        failures=$((failures + 1))
        ;;
    esac
done
[ "$checked" -gt 100 ] || { echo "FAIL: only $checked source files found in $PWD" >&2; exit 1; }
[ "$failures" -eq 0 ] || { echo "$failures file(s) without their licence notice" >&2; exit 1; }
echo "licence notices: LICENSE and $checked source files"
