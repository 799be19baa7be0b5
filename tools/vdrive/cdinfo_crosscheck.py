#!/usr/bin/env python3
"""Reads generated discs with libcdio's cd-info and compares what it sees
with what the virtual drive's disc model reports (discgen --describe) and
with what the plug-in's own device layer decodes through the virtual drive
(devread).

cd-info's cue reader places every track at its position in the image: it
adds neither PREGAP frames nor the gap in front of a second session. The
model reports, per track, its image position, so starts are compared as
image positions and the model's own extra frames are checked separately.
"""
import os
import re
import subprocess
import sys
import tempfile

CASES = [
    ("audio_en_lines", ["--layout", "audio", "--tracks", "4", "--frames", "200", "--text", "en"]),
    ("audio_en_raw", ["--layout", "audio", "--tracks", "5", "--frames", "150", "--index0", "40",
                      "--text", "en", "--raw-cdtext"]),
    ("audio_enja_raw", ["--layout", "audio", "--tracks", "12", "--frames", "100", "--text", "enja",
                        "--raw-cdtext"]),
    ("audio_enja_marked_raw", ["--layout", "audio", "--tracks", "5", "--frames", "100", "--text", "enja",
                               "--raw-cdtext", "--mark-size-packs"]),
    ("audio_latin1_raw", ["--layout", "audio", "--tracks", "3", "--frames", "100", "--text", "latin1",
                          "--raw-cdtext"]),
    ("datafirst_raw", ["--layout", "datafirst", "--tracks", "3", "--text", "en", "--raw-cdtext"]),
    ("cdextra_enja_raw", ["--layout", "cdextra", "--tracks", "3", "--text", "enja", "--raw-cdtext"]),
    ("demo", ["--layout", "demo", "--text", "enja", "--raw-cdtext"]),
]
LANGUAGES = {"English": 0x09, "Japanese": 0x69}
PREGAP = 150
SESSION_GAP = 11400


def describe(discgen, cue):
    out = subprocess.run([discgen, "--describe", cue], check=True, stdout=subprocess.PIPE).stdout
    tracks, sessions, texts = {}, {}, {}
    for raw in out.split(b"\n"):
        words = raw.split(b" ")
        if words[0] == b"track":
            n = int(words[1])
            tracks[n] = dict(session=int(words[3]), type=words[4].decode(), start=int(words[6]),
                             length=int(words[8]), image=int(words[10]))
        elif words[0] == b"session":
            sessions[int(words[1])] = int(words[3])
        elif words[0] == b"cdtext":
            lang = int(words[2], 16)
            text = b" ".join(words[5:]).decode("cp932" if lang == 0x69 else "latin-1")
            texts[(lang, int(words[3]), words[4].decode().upper())] = text
        elif words[0] == b"cdtext_crc" and words[1] != b"ok":
            raise AssertionError("model's CD-TEXT CRCs are wrong")
    return tracks, sessions, texts


EXPECTED_DISC_TYPE = {"audio": 0, "datafirst": 2, "cdextra": 3, "demo": 0}


def devread(tool, cue):
    """What our TOC and CD-TEXT decoders make of the drive's answers."""
    out = subprocess.run([tool, cue], check=True, stdout=subprocess.PIPE).stdout
    tracks, texts, disc_type = {}, {}, None
    for raw in out.split(b"\n"):
        words = raw.split(b" ")
        if words[0] == b"disctype":
            disc_type = int(words[1])
        elif words[0] == b"track":
            tracks[int(words[1])] = dict(type=words[2].decode(), start=int(words[4]), length=int(words[6]))
        elif words[0] == b"cdtext":
            lang = int(words[2], 16)
            # The device layer decodes every block into UTF-8.
            text = b" ".join(words[5:]).decode("utf-8")
            texts[(lang, int(words[3]), words[4].decode().upper())] = text
    return tracks, texts, disc_type


def cdinfo(cue):
    out = subprocess.run(["cd-info", "--no-device-info", "--cue-file", cue], check=True,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT).stdout.decode("utf-8", "replace")
    tracks, texts = {}, {}
    leadout = None
    lang, entry = None, None
    for line in out.splitlines():
        m = re.match(r"\s*(\d+): \d\d:\d\d:\d\d\s+(\d+) (\w+)", line)
        if m:
            if int(m.group(1)) == 170:
                leadout = int(m.group(2))
            else:
                tracks[int(m.group(1))] = dict(start=int(m.group(2)), type=m.group(3))
            continue
        m = re.match(r"Language \d+ '(\w+)':", line)
        if m:
            lang = LANGUAGES.get(m.group(1), -1)
            continue
        if line.startswith("CD-TEXT for Disc:"):
            entry = 0
            continue
        m = re.match(r"CD-TEXT for Track\s+(\d+):", line)
        if m:
            entry = int(m.group(1))
            continue
        m = re.match(r"\t(\w+): (.*)$", line)
        if m and lang is not None and entry is not None:
            texts[(lang, entry, m.group(1))] = m.group(2)
    return tracks, leadout, texts, out


def check(name, args, discgen, reader, work):
    problems = []
    d = os.path.join(work, name)
    os.makedirs(d)
    subprocess.run([discgen] + args + ["--name", name, d], check=True, stdout=subprocess.DEVNULL)
    cue = os.path.join(d, name + ".cue")
    model, sessions, model_text = describe(discgen, cue)
    seen, leadout, seen_text, raw = cdinfo(cue)
    if sorted(seen) != sorted(model):
        problems.append("track numbers %s vs %s" % (sorted(seen), sorted(model)))
    extra = 0  # frames the model places that the image does not hold
    for n in sorted(model):
        t = model[n]
        if n > 1 and t["session"] != model[n - 1]["session"]:
            extra = t["start"] - t["image"]
            if t["start"] != sessions[model[n - 1]["session"]] + SESSION_GAP:
                problems.append("track %d: second session not 11400 frames after lead-out" % n)
        elif t["start"] - t["image"] not in (extra, extra + PREGAP):
            problems.append("track %d: unexpected gap %d" % (n, t["start"] - t["image"] - extra))
        extra = t["start"] - t["image"]
        s = seen.get(n)
        if s is None:
            continue
        if s["start"] != t["image"]:
            problems.append("track %d: cd-info start %d, model image position %d" % (n, s["start"], t["image"]))
        if s["type"] != t["type"]:
            problems.append("track %d: cd-info %s, model %s" % (n, s["type"], t["type"]))
        nxt = model.get(n + 1)
        if nxt and nxt["session"] == t["session"] and n + 1 in seen:
            pregap_next = (nxt["start"] - nxt["image"]) - extra
            if seen[n + 1]["start"] - s["start"] != t["length"] - pregap_next:
                problems.append("track %d: lengths differ" % n)
    last = max(model)
    image_leadout = sessions[max(sessions)] - (model[last]["start"] - model[last]["image"])
    if leadout != image_leadout:
        problems.append("lead-out: cd-info %s, model %d" % (leadout, image_leadout))
    if model_text != seen_text:
        for k in sorted(set(model_text) | set(seen_text)):
            if model_text.get(k) != seen_text.get(k):
                problems.append("CD-TEXT %s: model %r, cd-info %r" % (k, model_text.get(k), seen_text.get(k)))
    # Our device layer must decode exactly the drive's view of the disc, and
    # the same CD-TEXT that cd-info decoded independently.
    ours, our_text, disc_type = devread(reader, cue)
    if disc_type != EXPECTED_DISC_TYPE[args[1]]:
        problems.append("device layer: disc type %s, expected %d" % (disc_type, EXPECTED_DISC_TYPE[args[1]]))
    for n in sorted(set(model) | set(ours)):
        t, o = model.get(n), ours.get(n)
        if t is None or o is None:
            problems.append("device layer: track %d only in %s" % (n, "model" if o is None else "ours"))
        elif (o["start"], o["length"], o["type"]) != (t["start"], t["length"], t["type"]):
            problems.append("device layer: track %d %r, drive's model %r" % (n, o, t))
    if our_text != seen_text:
        for k in sorted(set(our_text) | set(seen_text)):
            if our_text.get(k) != seen_text.get(k):
                problems.append("CD-TEXT %s: device layer %r, cd-info %r" % (k, our_text.get(k), seen_text.get(k)))
    for p in problems:
        print("%s: %s" % (name, p))
    if problems:
        print(raw)
    return not problems


def main():
    discgen, reader, work = sys.argv[1], sys.argv[2], sys.argv[3]
    os.makedirs(work, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=work) as tmp:
        ok = all([check(name, args, discgen, reader, tmp) for name, args in CASES])
    print("all cases agree" if ok else "disagreements found")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
