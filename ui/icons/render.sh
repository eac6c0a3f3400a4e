#!/bin/sh
# Renders the PNGs the program ships from the SVGs here. The PNGs are
# committed, so building never needs rsvg-convert (Debian: librsvg2-bin).
set -eu
cd "$(dirname "$0")"

for name in exit settings about new-event delete-event edit-event \
            pause play stop-preview stop-all; do
    for size in 16 32; do
        rsvg-convert -w $size -h $size $name.svg -o $name-$size.png
    done
done

# The big drawing's outline and waves blur at 16 px; that size has its own.
rsvg-convert -w 16 -h 16 tavolin-16.svg -o tavolin-16.png
for size in 32 48 64 128 256; do
    rsvg-convert -w $size -h $size tavolin.svg -o tavolin-$size.png
done
