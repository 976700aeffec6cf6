"""Reading the WAV files the tests' hosts write: PCM (16/24/32-bit) or 32-bit float."""
import struct


def read_wav(path):
    """(rate, [samples of each channel...]) as floats."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit(f"{path}: not a WAV file")
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif cid == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise SystemExit(f"{path}: no fmt or data chunk")
    tag, channels, rate, _, align, bits = fmt
    frames = len(samples) // align
    if tag == 3 and bits == 32:
        values = struct.unpack(f"<{frames * channels}f", samples[:frames * align])
    elif tag in (1, 0xFFFE) and bits in (16, 24, 32):
        width = bits // 8
        scale = float(1 << (bits - 1))
        values = [int.from_bytes(samples[i:i + width], "little", signed=True) / scale
                  for i in range(0, frames * align, width)]
    else:
        raise SystemExit(f"{path}: unsupported format {tag}/{bits} bit")
    return rate, [list(values[c::channels]) for c in range(channels)]
