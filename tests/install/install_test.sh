#!/bin/sh
# Installs the build into a scratch prefix and checks what a desktop needs
# to list Tavolin in its menu with its icon.
#   install_test.sh <cmake> <desktop-file-validate> <build dir>
set -eu
cmake=$1 validate=$2 build=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

[ -f "$prefix/bin/tavolin" ] && [ -x "$prefix/bin/tavolin" ] \
    || fail "bin/tavolin is missing or not executable"

desktop=$prefix/share/applications/tavolin.desktop
[ -f "$desktop" ] || fail "share/applications/tavolin.desktop is missing"
"$validate" "$desktop" || fail "desktop-file-validate rejects tavolin.desktop"

# The menu finds the program and the icon by these names.
[ "$(sed -n 's/^Exec=//p' "$desktop")" = tavolin ] || fail "Exec= is not tavolin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -n "$icon" ] || fail "no Icon= in tavolin.desktop"

hicolor=$prefix/share/icons/hicolor
for size in 16 32 48 64 128 256; do
    [ -f "$hicolor/${size}x$size/apps/$icon.png" ] \
        || fail "no ${size}x$size icon named $icon.png"
done
[ -f "$hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon.svg"
echo "install under a scratch prefix: ok"
