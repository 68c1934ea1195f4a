#!/usr/bin/env bash
# The install rules the Debian package is made from put the programs, a valid
# desktop entry and the icon where the desktop finds them.
#   check-install.sh <build dir>
set -euo pipefail
build=$1
root=$(mktemp -d "${TMPDIR:-/tmp}/torvelin-install.XXXXXX")
trap 'rm -rf "$root"' EXIT

cmake --install "$build" --prefix "$root/usr" > /dev/null
failures=0
for file in bin/torvelin bin/torvelin-sim bin/torvelin-records share/applications/torvelin.desktop \
    share/icons/hicolor/128x128/apps/torvelin.png share/icons/hicolor/scalable/apps/torvelin.svg; do
    if [[ ! -s $root/usr/$file ]]; then
        echo "FAIL: the install has no /usr/$file"
        failures=$((failures + 1))
    fi
done
for program in torvelin torvelin-sim torvelin-records; do
    [[ -x $root/usr/bin/$program ]] || { echo "FAIL: /usr/bin/$program is not executable"; failures=$((failures + 1)); }
done
entry=$root/usr/share/applications/torvelin.desktop
if [[ -f $entry ]]; then
    desktop-file-validate "$entry" || failures=$((failures + 1))
    grep -qx 'Exec=torvelin' "$entry" || { echo "FAIL: the desktop entry does not start torvelin"; failures=$((failures + 1)); }
    grep -qx 'Icon=torvelin' "$entry" || { echo "FAIL: the desktop entry's icon is not torvelin"; failures=$((failures + 1)); }
fi
((failures == 0)) && echo "the install holds the programs, a valid desktop entry and the icon"
exit $((failures > 0))
