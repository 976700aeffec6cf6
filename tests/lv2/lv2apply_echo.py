#!/usr/bin/env python3
"""A third-party LV2 host renders through Vantorel: lv2apply (Debian lilv-utils) applies the
built bundle, found through LV2_PATH as any host finds it, to a click file with the plug-in's
defaults. The echo must start exactly 0.2 s (the default delay) after the click, nothing may
sound before it, and the whole render must match the VST3 module's render of the same file
(vantorel-render) sample for sample.

Usage: lv2apply_echo.py BUNDLE VANTOREL_RENDER WORK_DIR
"""
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "helpers"))
import wavfile  # noqa: E402

URI = "https://korvane.example/plugins/vantorel"
CLICK_AT = 100
DEFAULT_DELAY = 0.2


def write_wav(path, rate, left, right):
    """32-bit float stereo WAV."""
    data = b"".join(struct.pack("<ff", a, b) for a, b in zip(left, right))
    fmt = struct.pack("<HHIIHHH", 3, 2, rate, rate * 8, 8, 32, 0)
    fact = struct.pack("<I", len(left))
    body = (b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"fact" + struct.pack("<I", 4) + fact
            + b"data" + struct.pack("<I", len(data)) + data)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def check(rate, work, env, render):
    failures = []
    length = CLICK_AT + int(round(DEFAULT_DELAY * rate)) * 3
    left = [0.0] * length
    right = [0.0] * length
    left[CLICK_AT] = 0.5
    right[CLICK_AT] = -0.25
    click = os.path.join(work, f"click-{rate}.wav")
    write_wav(click, rate, left, right)

    lv2_out = os.path.join(work, f"lv2apply-{rate}.wav")
    run = subprocess.run(["lv2apply", "-i", click, "-o", lv2_out, URI], env=env, capture_output=True, text=True)
    if run.returncode != 0:
        return [f"{rate} Hz: lv2apply failed ({run.returncode}): {run.stderr.strip()}"]

    vst3_out = os.path.join(work, f"vst3-{rate}.wav")
    run = subprocess.run([render, "--quiet", "--in", click, "--out", vst3_out], capture_output=True, text=True)
    if run.returncode != 0:
        return [f"{rate} Hz: vantorel-render failed: {run.stderr.strip()}"]

    out_rate, lv2 = wavfile.read_wav(lv2_out)
    _, vst3 = wavfile.read_wav(vst3_out)
    if out_rate != rate or len(lv2) != 2 or len(lv2[0]) != length:
        return [f"{rate} Hz: lv2apply wrote {len(lv2)} channels of {len(lv2[0])} samples at {out_rate} Hz"]

    expected = CLICK_AT + int(round(DEFAULT_DELAY * rate))
    onset = next((i for i, v in enumerate(lv2[0]) if v != 0.0), None)
    peak = max(range(length), key=lambda i: abs(lv2[0][i]))
    print(f"{rate} Hz: lv2apply's echo starts at sample {onset} (click at {CLICK_AT} + {expected - CLICK_AT} "
          f"= {DEFAULT_DELAY} s), peaks at {peak} ({lv2[0][peak]:.5f})")
    if onset != expected:
        failures.append(f"{rate} Hz: echo starts at {onset}, expected {expected}")

    worst = max(abs(a - b) for c in range(2) for a, b in zip(lv2[c], vst3[c]))
    print(f"{rate} Hz: largest difference from the VST3 render {worst:.3g}")
    if worst > 1e-6:
        failures.append(f"{rate} Hz: lv2apply's render differs from the VST3 module's by {worst:.3g}")
    return failures


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    bundle, render, work = sys.argv[1:]
    if shutil.which("lv2apply") is None:
        raise SystemExit("lv2apply is missing (Debian lilv-utils; scripts/setup installs it)")

    # A folder holding only our bundle, as LV2_PATH, and a home of its own.
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "lv2"))
    shutil.copytree(bundle, os.path.join(work, "lv2", "Vantorel.lv2"))
    env = dict(os.environ, LV2_PATH=os.path.join(work, "lv2"), HOME=work)

    failures = []
    for rate in (44100, 48000, 96000):
        failures += check(rate, work, env, render)
    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
