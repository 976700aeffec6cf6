#!/usr/bin/env python3
"""Writes the seed corpus of the state fuzzer into fuzz/corpus/state: the blob layout
hosts store (magic, length, UTF-8 XML, a zero byte) around valid, partial and broken trees."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
DECL = '<?xml version="1.0" encoding="UTF-8"?> '
FULL = {"cutoff": "1000", "delay": "0.2", "feedback": "0.7", "feedbackboost": "1", "ishpf": "0",
        "mix": "0", "onoff": "1", "oversampling": "0", "panic": "0"}


def tree(params, root="pluginParameter"):
    children = "".join(f'<PARAM id="{k}" value="{v}"/>' for k, v in params.items())
    return f"{DECL}<{root}>{children}</{root}>"


def blob(text, length=None, magic=0x21324356):
    body = text.encode("utf-8")
    n = len(body) if length is None else length
    return struct.pack("<II", magic, n & 0xFFFFFFFF) + body + b"\0"


SEEDS = {
    "fresh": blob(tree(FULL)),
    "capital-root": blob(tree({"delay": "0.5"}, "PLUGINPARAMETER")),
    "one-param": blob(tree({"delay": "0.5"})),
    "out-of-range": blob(tree({"feedback": "5", "cutoff": "-3", "delay": "0.123", "mix": "0.49"})),
    "not-numbers": blob(tree({"cutoff": "loud", "delay": "nan", "feedback": "inf"})),
    "unknown-id": blob(tree({"futureKnob": "42", "delay": "0.3"})),
    "no-value": blob(f'{DECL}<pluginParameter><PARAM id="feedback"/></pluginParameter>'),
    "other-root": blob(tree({"delay": "0.5"}, "otherParameters")),
    "length-short": blob(tree(FULL), length=40),
    "length-long": blob(tree({"delay": "0.5"}), length=100000),
    "negative-length": blob(tree({"delay": "0.5"}), length=0x80000010),
    "wrong-magic": blob(tree({"delay": "0.5"}), magic=0x21324357),
    "one-char": blob("x"),
}

if __name__ == "__main__":
    out = os.path.join(HERE, "corpus", "state")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name + ".bin"), "wb") as f:
            f.write(data)
    print(f"{len(SEEDS)} seeds in {out}")
