#!/usr/bin/env bash
# The LV2 editor inside a host's window on a private display: opened and closed a few times,
# then kept open, grabbed and compared with the editor as drawn in-process, and closed with
# the window's close button; the host must then exit cleanly (no crash, no leak report).
# Usage: run-ui-test.sh HOST BUNDLE CHECK REFERENCE.png OUT_DIR
set -euo pipefail
host=$1 bundle=$2 check=$3 reference=$4 out=$5

if ! command -v xvfb-run > /dev/null; then
    echo "xvfb-run is not installed (scripts/setup installs it): skipped"
    exit 77
fi

if [ -z "${VANTOREL_UI_TEST_INNER:-}" ]; then
    # A bare display, with no window manager and nothing prepared.
    export VANTOREL_UI_TEST_INNER=1
    exec xvfb-run -a -s "-screen 0 1920x1200x24" "$0" "$@"
fi

rm -rf "$out"
mkdir -p "$out/home"
export HOME=$(realpath "$out/home")

title="Vantorel LV2 editor"
"$host" "$bundle" --title "$title" --reopen 3 > "$out/host.log" 2>&1 &
pid=$!

if ! "$check" window --title "$title" --reference "$reference" --out "$out/editor.png" --timeout 120 --close; then
    kill -KILL "$pid" 2> /dev/null || true
    cat "$out/host.log" >&2
    exit 1
fi

status=0
wait "$pid" || status=$?
cat "$out/host.log"
if [ "$status" -ne 0 ]; then
    echo "LV2 editor test: the host exited with $status" >&2
    exit 1
fi
if grep -E "Leaked objects detected|ERROR: LeakSanitizer|ERROR: AddressSanitizer" "$out/host.log" > /dev/null; then
    echo "LV2 editor test: leaks reported" >&2
    exit 1
fi
echo "the LV2 editor opened in a host window, showed the panel and closed cleanly"
