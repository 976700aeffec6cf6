#!/usr/bin/env bash
# The editor in a real window at its three sizes, at scale 1, looks as the README's
# screenshots show it (within the given mean difference).
# Exits 77 (skipped) where xvfb-run is not installed.
# Usage: ScreenshotsUnchanged.sh RENDER CHECK SCREENSHOTS_DIR WORK_DIR PERCENT
set -euo pipefail
render=$1 check=$2 reference=$3 work=$4 percent=$5

if ! command -v xvfb-run > /dev/null; then
    echo "xvfb-run is not installed (scripts/setup installs it): skipped"
    exit 77
fi

rm -rf "$work"
mkdir -p "$work/home"
export HOME=$work/home

# name, then the size to drag the window to
for shot in "default 1060 364" "smallest 706 242" "largest 1590 546"; do
    read -r name width height <<< "$shot"
    xvfb-run -a -s "-screen 0 1920x1200x24" "$render" --quiet --screenshot "$work/$name.png" --size "${width}x${height}"
    "$check" "$work/$name.png" "$width" "$height" --like "$reference/$name.png" "$percent"
done
