#!/usr/bin/env python3
"""Rips every audio track of a generated CD-Extra disc through the real
in_quorvo.dll (the test host's --rip, the host's extended-read exports) and
compares each WAV with what cd-paranoia extracts from the same cue/bin
image, bit for bit; the copy CRC32 the rip log gives the track must be
zlib's CRC32 of the ripped samples. A Quit while getData is busy must not
hold the player up.

  rip_oracle.py RUNNER BIN_DIR DISCGEN WORK_DIR
RUNNER runs one Windows program (scripts/wine-run.sh or i686-run.sh);
BIN_DIR holds quorvo_host.exe, in_quorvo.dll and wnaspi32.dll of one
flavour, DISCGEN is its discgen.exe. Exits 77 when the runner reports the tier cannot run here.
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import wave
import zlib

# Odd lengths in frames, one under a second; session 2 holds a data track.
LENGTHS = [301, 37, 449, 226]
SKIP = 77


def run(runner, prog, args, log):
    with open(log, "wb") as out:
        return subprocess.run(["bash", runner, prog] + args, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.STDOUT, timeout=600).returncode


def pcm_of(path):
    """The samples of a 16-bit stereo 44.1 kHz WAV file."""
    with wave.open(path, "rb") as w:
        if (w.getsampwidth(), w.getnchannels(), w.getframerate()) != (2, 2, 44100):
            raise AssertionError("%s is no CD audio" % path)
        return w.readframes(w.getnframes())


def rip_log(work):
    """The text of the disc's one rip log; the problem if none."""
    logs = glob.glob(os.path.join(work, "rip logs", "*"))
    if len(logs) != 1:
        return None, "expected one rip log, found %s" % logs
    raw = open(logs[0], "rb").read()
    if not raw.startswith(b"\xef\xbb\xbf") or b"\n" in raw.replace(b"\r\n", b""):
        return None, "the log is not UTF-8 with a byte-order mark and CRLF lines"
    return raw.decode("utf-8"), None


def logged_crcs(work):
    """The copy CRC per track of the disc's one rip log; the problem if none."""
    text, problem = rip_log(work)
    if problem:
        return None, problem
    # A track's number, its length, then its copy CRC.
    found = re.findall(r"\r\nトラック (\d+)\r\n\s+長さ \S+\r\n\s+コピーCRC ([0-9A-F]{8})\r\n", text)
    return {int(n): crc for n, crc in found}, None


def prepare(runner, bindir, discgen, work, disc, drive=""):
    """A fresh folder holding the host, the plug-in and the virtual drive
    (`drive`: more vdrive.ini lines) with a disc made by discgen's `disc`
    options; the runner's status, SKIP when the tier cannot run here."""
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for f in ("quorvo_host.exe", "in_quorvo.dll", "wnaspi32.dll"):
        shutil.copy(os.path.join(bindir, f), work)
    shutil.copy(discgen, work)
    status = run(runner, os.path.join(work, "discgen.exe"),
                 disc + ["--name", "disc", "."], os.path.join(work, "discgen.log"))
    if status == SKIP:
        print(open(os.path.join(work, "discgen.log"), errors="replace").read())
        return SKIP
    if status != 0 or not os.path.exists(os.path.join(work, "disc.cue")):
        raise AssertionError("discgen failed (%d)" % status)
    # The plug-in's defaults (pass-through, secure mode, no offset); the host
    # answers that its settings live beside it.
    with open(os.path.join(work, "vdrive.ini"), "w", newline="") as f:
        f.write("[0:0:0]\r\nletter=D\r\ncue=disc.cue\r\nvendor=QUORVO\r\nproduct=ORACLE CD-ROM\r\n" + drive)
    with open(os.path.join(work, "winamp.ini"), "w", newline="") as f:
        f.write("[QZ_CDDAPLAYER]\r\nAccurateRip_Use=false\r\n")
    return 0


def main():
    runner, bindir, discgen, work = sys.argv[1:5]
    host = os.path.join(work, "quorvo_host.exe")
    lengths = ",".join(str(n) for n in LENGTHS)
    status = prepare(runner, bindir, discgen, work, ["--layout", "cdextra", "--lengths", lengths])
    if status != 0:
        return status

    problems, crcs = [], {}
    for n in range(1, len(LENGTHS) + 1):
        ref = os.path.join(work, "paranoia%02d.wav" % n)
        subprocess.run(["cd-paranoia", "-q", "-d", "disc.cue", "-w", str(n), os.path.basename(ref)], cwd=work,
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=120)
        wav = "rip%02d.wav" % n
        log = os.path.join(work, "rip%02d.log" % n)
        status = run(runner, host, ["--rip", "cda://D,%d" % n, wav], log)
        if status != 0:
            problems.append("track %d: the host's rip exited %d:\n%s" % (n, status, open(log, errors="replace").read()))
            continue
        ours, theirs = pcm_of(os.path.join(work, wav)), pcm_of(ref)
        if len(theirs) != LENGTHS[n - 1] * 2352:
            problems.append("track %d: cd-paranoia gave %d bytes, the disc holds %d" %
                            (n, len(theirs), LENGTHS[n - 1] * 2352))
        if ours != theirs:
            first = next((i for i, (a, b) in enumerate(zip(ours, theirs)) if a != b), min(len(ours), len(theirs)))
            problems.append("track %d: %d bytes ripped, %d from cd-paranoia, first difference at byte %d" %
                            (n, len(ours), len(theirs), first))
        crcs[n] = "%08X" % zlib.crc32(ours)
        logged, problem = logged_crcs(work)
        if problem or logged.get(n) != crcs[n]:
            problems.append("track %d: zlib's CRC32 %s, the log: %s" % (n, crcs[n], problem or logged))

    # The player quits while getData is busy on a slow drive: both return
    # within 2 s (the host program checks and exits 0).
    with open(os.path.join(work, "vdrive.ini"), "a", newline="") as f:
        f.write("behaviour=latency 2\r\n")
    log = os.path.join(work, "quit.log")
    status = run(runner, host, ["--rip", "cda://D,3", "quit.wav", "--quit-after-bytes", "0"], log)
    if status != 0 or "getData returned -1" not in open(log, errors="replace").read():
        problems.append("Quit during getData: exit %d:\n%s" % (status, open(log, errors="replace").read()))

    for p in problems:
        print("FAIL: " + p)
    print("%d tracks ripped and compared with cd-paranoia; CRCs %s" % (len(crcs), " ".join(crcs.values())))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
