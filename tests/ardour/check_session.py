#!/usr/bin/env python3
"""Checks what Ardour produced with Vantorel: the echo in the exported WAV (delay and
decay of the repeats of a tone burst), a gated level's edge on its sample in an
oversampled export, and the nine values after reopening the session.

Usage: check_session.py SESSION_DIR [--lv2]
Expects export.wav, level.wav, level-oversampled.wav, latency.txt, saved.txt and reopened.txt
(written by session.lua) in SESSION_DIR; with --lv2 also lv2-export.wav and lv2-reopened.wav,
the same export through Vantorel.lv2 (loaded with a preset, then from the reopened session).
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "helpers"))
import wavfile  # noqa: E402

RATE = 48000
DELAY = 12000          # 0.25 s, the delay the export was made with
FEEDBACK = 0.5         # the feedback gain (no boost)
BURST_START = 4800     # the fader opens at 0.1 s
BURST_LENGTH = 4000    # the 20 ms burst and the fader's declick are over by then
TONE_HZ = 480.0
CUTOFF_HZ = 4000.0


def read_wav(path):
    """First channel of an exported WAV, as floats, at the session's rate."""
    rate, channels = wavfile.read_wav(path)
    if rate != RATE:
        raise SystemExit(f"{path}: rate {rate}, expected {RATE}")
    return channels[0]


def peak(x, start, end):
    return max(abs(v) for v in x[start:end])


def best_lag(x, start, end, around, spread):
    """The lag around `around` at which x best repeats its samples from start to end."""
    ref = x[start:end]
    best, best_score = None, -math.inf
    for lag in range(around - spread, around + spread + 1):
        score = sum(a * b for a, b in zip(ref, x[start + lag:end + lag]))
        if score > best_score:
            best, best_score = lag, score
    return best


def check_echo(path):
    x = read_wav(path)
    failures = []
    if len(x) < BURST_START + 3 * DELAY + BURST_LENGTH:
        return [f"export holds only {len(x)} samples"]

    def window(k):
        return BURST_START + k * DELAY, BURST_START + k * DELAY + BURST_LENGTH

    dry = peak(x, *window(0))
    if dry < 0.1:
        return [f"no tone burst at 0.1 s (peak {dry:.4f})"]

    before = peak(x, 0, BURST_START)
    repeats = [peak(x, *window(k)) for k in (1, 2, 3)]
    gaps = [peak(x, window(k)[1], window(k + 1)[0]) for k in (0, 1, 2)]
    lag = best_lag(x, *window(0), DELAY, 400)

    # The one-pole low-pass in the loop (a bilinear design) scales the tone by |H| and
    # delays it by its phase delay on each pass.
    g = math.tan(math.pi * CUTOFF_HZ / RATE)
    w = math.tan(math.pi * TONE_HZ / RATE)
    response = g / math.hypot(g, w)
    phase_delay = math.atan2(w, g) / (2 * math.pi * TONE_HZ / RATE)

    print(f"before {before:.5f}, dry {dry:.4f}, repeats {', '.join(f'{r:.4f}' for r in repeats)}, "
          f"gaps {', '.join(f'{v:.5f}' for v in gaps)}, delay {lag} samples")

    if abs(lag - (DELAY + phase_delay)) > 1:
        failures.append(f"echo after {lag} samples, expected {DELAY} + {phase_delay:.1f} (filter)")
    if abs(repeats[0] / dry - response) > 0.03:
        failures.append(f"first repeat at {repeats[0] / dry:.4f} of the dry burst, expected {response:.4f}")
    for k in (1, 2):
        ratio = repeats[k] / repeats[k - 1]
        if abs(ratio - FEEDBACK * response) > 0.03:
            failures.append(f"repeat {k + 1} at {ratio:.4f} of repeat {k}, expected {FEEDBACK * response:.4f}")
    if before > 0.01 * dry:
        failures.append(f"signal before the burst: peak {before:.5f}")
    for k, v in enumerate(gaps):
        if v > 0.01 * dry:
            failures.append(f"signal between repeats {k} and {k + 1}: peak {v:.5f}")
    return failures


def edge(x, level):
    """Where x first rises through half of `level` after the gate opens, interpolated."""
    half = level / 2
    for i in range(BURST_START - 200, BURST_START + 200):
        if x[i] < half <= x[i + 1]:
            return i + (half - x[i]) / (x[i + 1] - x[i])
    return None


def check_dry_alignment(plain_path, oversampled_path, latency_path):
    """The gated level's rising edge must sit where it sits without oversampling: Ardour
    compensates the latency the plug-in reports. The oversampler delays by 59.5 samples and
    the plug-in reports 60, so the edge may come half a sample early, never more."""
    plain, oversampled = read_wav(plain_path), read_wav(oversampled_path)
    level = sum(plain[BURST_START + 100:BURST_START + 600]) / 500
    if level < 0.1:
        return [f"no level in the plain export (mean {level:.4f})"]
    a, b = edge(plain, level), edge(oversampled, level)
    with open(latency_path) as f:
        latency = f.read().strip()
    if a is None or b is None:
        return [f"no rising edge near {BURST_START}: plain {a}, oversampled {b}"]
    print(f"oversampled: Ardour sees a latency of {latency} samples; dry edge at {b:.2f}, "
          f"without oversampling at {a:.2f}")
    if not (-0.6 <= b - a <= 0.1):
        return [f"oversampled dry edge {b - a:+.2f} samples from its place (latency not compensated?)"]
    return []


def read_values(path):
    with open(path) as f:
        return [float(line.split()[1]) for line in f if line.strip()]


def check_values(saved_path, reopened_path):
    saved, reopened = read_values(saved_path), read_values(reopened_path)
    if len(saved) != 9 or len(reopened) != 9:
        return [f"expected nine values, saved {len(saved)}, reopened {len(reopened)}"]
    return [f"parameter {i}: saved {s:.6f}, reopened {r:.6f}"
            for i, (s, r) in enumerate(zip(saved, reopened)) if abs(s - r) > 1e-5]


def main():
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and sys.argv[2] != "--lv2"):
        raise SystemExit(__doc__)
    d = sys.argv[1]
    failures = (check_echo(f"{d}/export.wav")
                + check_dry_alignment(f"{d}/level.wav", f"{d}/level-oversampled.wav", f"{d}/latency.txt")
                + check_values(f"{d}/saved.txt", f"{d}/reopened.txt"))
    if len(sys.argv) == 3:
        # The LV2 plug-in with the same settings (from its preset, then from the reopened
        # session) must give the same echo.
        for name in ("lv2-export", "lv2-reopened"):
            print(f"{name}: ", end="")
            failures += [f"{name}: {f}" for f in check_echo(f"{d}/{name}.wav")]
    for f in failures:
        print("FAIL:", f)
    if failures:
        sys.exit(1)
    print("echo and reopened values as expected")


if __name__ == "__main__":
    main()
