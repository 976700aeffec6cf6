#!/usr/bin/env bash
# Takes a screenshot of the built module's editor under a throwaway Xvfb and checks it.
# Exits 77 (skipped) where xvfb-run is not installed.
# Usage: ScreenshotUnderXvfb.sh RENDER CHECK OUT.png WIDTH HEIGHT [check options...]
set -euo pipefail
render=$1 check=$2 png=$3 width=$4 height=$5
shift 5

if ! command -v xvfb-run > /dev/null; then
    echo "xvfb-run is not installed (scripts/setup installs it): skipped"
    exit 77
fi

rm -f "$png"
# A scratch home: the editor's preset bar looks into the documents folder.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home xvfb-run -a -s "-screen 0 1920x1200x24" \
    "$render" --screenshot "$png" --size "${width}x${height}" --loud --wait 1
"$check" "$png" "$width" "$height" "$@"
