#!/usr/bin/env python3
"""Writes the seed corpora of the fuzzers: fuzz/corpus/state holds host state (the blob
layout hosts store: magic, length, UTF-8 XML, a zero byte), fuzz/corpus/preset preset
files (the XML alone), each around valid, partial and broken parameter trees."""
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


def many_attributes(count):
    extra = "".join(f' a{i}="0"' for i in range(count))
    return f'{DECL}<pluginParameter><PARAM id="feedback" value="0.5"{extra}/></pluginParameter>'


def many_children(count):
    return tree(FULL).replace("</pluginParameter>", '<PARAM id="x" value="1"/>' * count + "</pluginParameter>")


def many_references(count):
    return f'{DECL}<pluginParameter><PARAM id="feedback" value="0.5" note="{"&amp;" * count}"/></pluginParameter>'


# Near the limits the reader sets on attributes, elements and character references, so
# mutations cross them both ways.
LARGE = {
    "attributes-60": many_attributes(60),
    "attributes-2000": many_attributes(2000),
    "children-1000": many_children(1000),
    "references-4000": many_references(4000),
}

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
    "instruction": blob(f'{DECL}<pluginParameter><?x?>text<PARAM id="delay" value="0.5"/></pluginParameter>'),
    **{name: blob(text) for name, text in LARGE.items()},
}

PRESETS = {
    "full": tree(FULL).encode(),
    "pretty": tree(FULL).replace("><", ">\n  <").encode(),
    "capital-root": tree({"delay": "0.5"}, "PluginParameter").encode(),
    "one-param": tree({"mix": "1"}).encode(),
    "out-of-range": tree({"feedback": "5", "cutoff": "-3", "delay": "0.123", "mix": "0.49"}).encode(),
    "not-numbers": tree({"cutoff": "loud", "delay": "nan", "feedback": "-inf"}).encode(),
    "unknown-id": tree({"futureKnob": "42"}).encode(),
    "other-root": tree({"delay": "0.5"}, "preset").encode(),
    "bom": b"\xef\xbb\xbf" + tree({"delay": "0.3"}).encode(),
    "utf16": tree({"delay": "0.3"}).replace("UTF-8", "UTF-16").encode("utf-16"),
    "cut-short": tree(FULL).encode()[:-30],
    "empty": b"",
    "instruction": f'{DECL}<pluginParameter><?x?>text<PARAM id="mix" value="1"/></pluginParameter>'.encode(),
    **{name: text.encode() for name, text in LARGE.items()},
}


def write(folder, seeds, extension):
    out = os.path.join(HERE, "corpus", folder)
    os.makedirs(out, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(out, name + extension), "wb") as f:
            f.write(data)
    print(f"{len(seeds)} seeds in {out}")


if __name__ == "__main__":
    write("state", SEEDS, ".bin")
    write("preset", PRESETS, ".vtrpreset")
