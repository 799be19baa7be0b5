#!/usr/bin/python3
"""Writes the AccurateRip database's file (dBAR) for an audio-only cue/bin
image from whipper's ids (its disc table) and v1/v2 sums (its accuraterip
module, over WAVs cut from the image), not ours; the offset-frame sum (the
v1 sum of frame 450 alone, positions 1..588) is computed here.

  make_dbar.py CUE DIR PRESSING...
PRESSING is CONF:SUM[:SHIFT[:WRONG]]: its confidence, the sum it holds (v1
or v2), the samples its audio lies shifted by against the image (a pressing
at another offset), and the tracks (1+3) whose sum it holds wrong. Prints
the file's path.
"""
import os
import re
import struct
import sys
import tempfile
import wave

import accuraterip
from whipper.image import table

FRAME = 2352


def read_cue(cue):
    """The image's bytes and each track's first frame; the lead-out ends the image."""
    text = open(cue, encoding="utf-8", errors="replace").read()
    if re.search(r"MODE\d|REM SESSION", text):
        raise ValueError("%s holds a data track: only audio discs are made here" % cue)
    image = open(os.path.join(os.path.dirname(cue), re.search(r'FILE "([^"]+)"', text).group(1)), "rb").read()
    starts = [(int(m) * 60 + int(s)) * 75 + int(f)
              for m, s, f in re.findall(r"INDEX 01 (\d+):(\d+):(\d+)", text)]
    return image, starts


def disc_ids(starts, leadout):
    disc = table.Table()
    for n, start in enumerate(starts, 1):
        track = table.Track(n)
        track.index(1, absolute=start)
        disc.tracks.append(track)
    disc.leadout = leadout
    return [int(x, 16) for x in list(disc.accuraterip_ids()) + [disc.getCDDBDiscId()]]


def track_sums(image, starts, shift=0):
    """(v1, v2, offset-frame sum) per track of the image's audio taken `shift` samples later."""
    bounds = starts + [len(image) // FRAME]
    sums = []
    with tempfile.TemporaryDirectory() as work:
        for n in range(1, len(starts) + 1):
            begin, end = bounds[n - 1] * FRAME + 4 * shift, bounds[n] * FRAME + 4 * shift
            pcm = bytes(max(-begin, 0)) + image[max(begin, 0):end]  # silence outside the image
            pcm += bytes(end - begin - len(pcm))
            path = os.path.join(work, "%d.wav" % n)
            with wave.open(path, "wb") as w:
                w.setnchannels(2)
                w.setsampwidth(2)
                w.setframerate(44100)
                w.writeframes(pcm)
            v1, v2 = accuraterip.compute(path, n, len(starts))
            frame = struct.unpack("<588I", pcm[450 * FRAME:451 * FRAME])
            sums.append((v1, v2, sum(s * p for p, s in enumerate(frame, 1)) & 0xFFFFFFFF))
    return sums


def make_dbar(cue, folder, pressings):
    """pressings: (confidence, "v1"|"v2", shift, wrong tracks). The file's path and the image's sums."""
    image, starts = read_cue(cue)
    ids = disc_ids(starts, len(image) // FRAME)
    body, plain = b"", track_sums(image, starts)
    for confidence, kind, shift, wrong in pressings:
        body += struct.pack("<B3I", len(starts), *ids)
        for n, (v1, v2, frame450) in enumerate(track_sums(image, starts, shift) if shift else plain, 1):
            crc = (v1 if kind == "v1" else v2) ^ (0x00C0FFEE if n in wrong else 0)
            body += struct.pack("<BII", confidence, crc, frame450)
    path = os.path.join(folder, "dBAR-%03d-%08x-%08x-%08x.bin" % (len(starts), *ids))
    with open(path, "wb") as f:
        f.write(body)
    return path, plain


def main():
    pressings = []
    for spec in sys.argv[3:]:
        conf, kind, shift, wrong = (spec.split(":") + ["", ""])[:4]
        pressings.append((int(conf), kind, int(shift or 0), {int(n) for n in wrong.split("+") if n}))
    print(make_dbar(sys.argv[1], sys.argv[2], pressings)[0])


if __name__ == "__main__":
    main()
