#!/usr/bin/env bash
# Runs an outside judge of the plug-in (Steinberg's VST3 validator, pluginval: prebuilt, not
# ours) and passes when it exits with 0 and its output holds the verdict expected. Skips (77)
# with a one-line reason where the judge is missing.
#
# Usage: run-judge.sh LOG VERDICT_REGEX TOOL [ARGUMENT...] [-- RUNNER...]
#   LOG: where its whole output goes (the lines around the verdict are printed).
#   RUNNER: what runs TOOL (Wine and its environment, for a .exe); with none, TOOL runs on a
#   virtual display of its own.
set -euo pipefail

log=$1 verdict=$2 tool=$3
shift 3
args=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    args+=("$1")
    shift
done
runner=()
if [ $# -gt 0 ]; then
    shift
    runner=("$@")
fi

if [ ! -f "$tool" ]; then
    echo "$(basename "$tool") is not in $(dirname "$tool"): skipped"
    exit 77
fi
if [ ${#runner[@]} -eq 0 ]; then
    command -v xvfb-run > /dev/null || { echo "xvfb-run is not installed (scripts/setup installs it): skipped"; exit 77; }
    runner=(xvfb-run -a -s "-screen 0 1920x1200x24")
fi

mkdir -p "$(dirname "$log")"
status=0
"${runner[@]}" "$tool" "${args[@]}" < /dev/null > "$log" 2>&1 || status=$?
tr -d '\r' < "$log" > "$log.txt"

if [ $status -ne 0 ] || ! grep -E -q "$verdict" "$log.txt"; then
    grep -E -i -B2 -A6 "fail|error" "$log.txt" | tail -60 >&2 || tail -40 "$log.txt" >&2
    echo "$(basename "$tool") exited with $status; its verdict is not '$verdict' (whole output: $log)" >&2
    exit 1
fi
grep -E "$verdict" "$log.txt" | tail -1
