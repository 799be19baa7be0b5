#!/usr/bin/env python3
"""AccurateRip ids, request path and v1/v2 track checksums as the core gives
them (archeck) against whipper's on generated discs: accuraterip-checksum
on WAVs cut from the image, its disc table handed the disc's lead-out (not
on a data-first disc, whose audio tracks whipper numbers from 2).

  whipper_crosscheck.py DISCGEN ARCHECK WORK_DIR
"""
import os
import shutil
import subprocess
import sys
import wave

from whipper.image import table

CASES = [
    ("audio", ["--layout", "audio", "--lengths", "301,37,449,1226"]),
    ("cdextra", ["--layout", "cdextra", "--lengths", "460,75,226"]),
    ("datafirst", ["--layout", "datafirst", "--lengths", "226,301"]),
]


def lines(cmd):
    out = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, timeout=120).stdout.decode()
    return [line.split() for line in out.splitlines()]


def main():
    discgen, archeck, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    problems = []
    for name, options in CASES:
        folder = os.path.join(work, name)
        os.makedirs(folder)
        subprocess.run([discgen] + options + ["--name", "disc", folder], check=True, stdout=subprocess.DEVNULL, timeout=120)
        cue = os.path.join(folder, "disc.cue")
        ours = lines([archeck, cue])
        described = lines([discgen, "--describe", cue])
        tracks = {int(w[1]): w for w in described if w[0] == "track"}
        leadout = max(int(w[3]) for w in described if w[0] == "session")

        disc = table.Table()
        for n in sorted(tracks):
            track = table.Track(n, audio=tracks[n][4] == "audio")
            track.index(1, absolute=int(tracks[n][6]))
            disc.tracks.append(track)
        disc.leadout = leadout
        theirs = {"ids": ["%03d" % disc.getAudioTracks()] + list(disc.accuraterip_ids()) + [disc.getCDDBDiscId()],
                  "path": ["accuraterip/" + disc.accuraterip_path()]}
        for kind, *values in ours:
            if kind in theirs and name != "datafirst" and values != theirs[kind]:
                problems.append("%s: %s %s, whipper %s" % (name, kind, values, theirs[kind]))

        image = open(os.path.join(folder, "disc.bin"), "rb").read()
        audio = [n for n in sorted(tracks) if tracks[n][4] == "audio"]
        # Slots follow the table (a data track first keeps slot 0).
        checked = [w for w in ours if w[0] == "track"]
        if [(int(w[1]), int(w[2]) + 1) for w in checked] != [(n, n) for n in audio]:
            problems.append("%s: archeck's tracks %s, the disc's audio tracks %s" % (name, checked, audio))
        for rip, (_, number, _, v1, v2) in enumerate(checked, 1):
            start, length = int(tracks[int(number)][10]) * 2352, int(tracks[int(number)][8]) * 2352
            path = os.path.join(folder, "track%s.wav" % number)
            with wave.open(path, "wb") as w:
                w.setnchannels(2)
                w.setsampwidth(2)
                w.setframerate(44100)
                w.writeframes(image[start:start + length])
            for flag, value in (("--accuraterip-v1", v1), ("--accuraterip-v2", v2)):
                out = lines(["accuraterip-checksum", flag, path, str(rip), str(len(checked))])[0][0]
                if out.lower() != value:
                    problems.append("%s: track %s %s %s, whipper %s" % (name, number, flag, value, out))
    print("\n".join(["FAIL: " + p for p in problems] + ["%d discs compared with whipper" % len(CASES)]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
