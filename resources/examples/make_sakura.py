#!/usr/bin/env python3
"""Writes sakura.mid, the example melody that scripts/run.sh plays when it is
given no file: the Japanese traditional song "Sakura Sakura" (public domain),
one koto line as a format-0 Standard MIDI File. The track name is the Japanese
title in CP932, as ringtone files keep their titles.

Run it again after changing the tune: python3 make_sakura.py
"""
import os
import struct

TICKS_PER_QUARTER = 480
TEMPO_BPM = 76
KOTO = 107          # General MIDI program 108 "Koto", 0-based
VELOCITY = 96
GAP = 24            # ticks of silence before each note ends, so repeats are heard

Q, H, E, W = 480, 960, 240, 1920
B3, C4, E4, F4, A4, B4, C5 = 59, 60, 64, 65, 69, 71, 72

# (key, length) per measure of 4/4.
TUNE = [
    [(A4, Q), (A4, Q), (B4, H)],
    [(A4, Q), (A4, Q), (B4, H)],
    [(A4, Q), (B4, Q), (C5, Q), (B4, Q)],
    [(A4, Q), (B4, E), (A4, E), (F4, H)],
    [(E4, Q), (C4, Q), (E4, Q), (F4, Q)],
    [(E4, Q), (E4, E), (C4, E), (B3, H)],
    [(A4, Q), (B4, Q), (C5, Q), (B4, Q)],
    [(A4, Q), (B4, E), (A4, E), (F4, H)],
    [(E4, Q), (C4, Q), (E4, Q), (F4, Q)],
    [(E4, Q), (E4, E), (C4, E), (B3, H)],
    [(A4, Q), (A4, Q), (B4, H)],
    [(A4, Q), (A4, Q), (B4, H)],
    [(E4, Q), (F4, Q), (B4, E), (A4, E), (F4, Q)],
    [(E4, W)],
]


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append((n & 0x7F) | 0x80)
        n >>= 7
    return bytes(reversed(out))


def meta(kind, data):
    return b"\x00\xff" + bytes([kind]) + vlq(len(data)) + data


def build():
    events = meta(0x03, "さくらさくら".encode("cp932"))
    events += meta(0x02, "日本古謡 (public domain)".encode("cp932"))
    events += meta(0x51, struct.pack(">I", 60000000 // TEMPO_BPM)[1:])
    events += meta(0x58, bytes([4, 2, 24, 8]))  # 4/4
    events += b"\x00\xc0" + bytes([KOTO])
    pending = 0  # ticks between the last note-off and the next event
    for measure in TUNE:
        assert sum(length for _, length in measure) == W
        for key, length in measure:
            events += vlq(pending) + bytes([0x90, key, VELOCITY])
            events += vlq(length - GAP) + bytes([0x80, key, 0])
            pending = GAP
    events += vlq(pending) + b"\xff\x2f\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS_PER_QUARTER)
    return header + b"MTrk" + struct.pack(">I", len(events)) + events


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "sakura.mid"), "wb") as out:
        out.write(build())
