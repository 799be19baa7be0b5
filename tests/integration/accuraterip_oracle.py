#!/usr/bin/python3
"""Rips a disc through in_quorvo.dll (the host's --rip) on a virtual drive
with read offset +667, against the fixture server's AccurateRip file that
make_dbar.py made from whipper's sums: the offset is found, the sums are
whipper's, a wrong sum mismatches; an unknown disc, verification off and
network faults give their own lines, no made-up match, no stalled rip.
Arguments as rip_oracle.py's; run under tests/cddb_server/with_servers.sh."""
import os
import re
import shutil
import socket
import sys
import time

sys.dont_write_bytecode = True  # no caches in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cddb_server"))
from make_dbar import FRAME, make_dbar, read_cue  # noqa: E402
from rip_oracle import pcm_of, prepare, rip_log, run  # noqa: E402

LENGTHS = [461, 470, 523, 480]  # offset detection reads frames 445..455 of each track
AR = "    AccurateRip "
NO_ANSWER = AR + "照合できません（"


def main():
    runner, bindir, discgen, work = sys.argv[1:5]
    status = prepare(runner, bindir, discgen, work, ["--layout", "audio", "--lengths", ",".join(map(str, LENGTHS))],
                     "behaviour=offset 667;overread leadout\r\n")  # the last track needs the lead-out
    if status != 0:
        return status
    ar_dir, port = os.environ["QUORVO_AR_DIR"], os.environ["QUORVO_CDDB_PORT"]
    server, server_log = "http://127.0.0.1:" + port, os.path.join(os.path.dirname(ar_dir), "cddb.log")
    image, starts = read_cue(os.path.join(work, "disc.cue"))
    bounds = starts + [len(image) // FRAME]
    # Right sums in a v1 and a v2 pressing; a third pressing, its audio 30
    # samples earlier, agrees on a smaller offset (637) with less confidence.
    # Track 2's sum is wrong in all of them.
    dbar, sums = make_dbar(os.path.join(work, "disc.cue"), ar_dir,
                           [(3, "v1", 0, {2}), (7, "v2", 0, {2}), (5, "v1", -30, {2})])
    problems = []

    def rip(n, keys=None):  # keys: the settings to start from, else those the last rip left
        if keys is not None:
            with open(os.path.join(work, "winamp.ini"), "w", newline="") as f:
                f.write("[QZ_CDDAPLAYER]\r\n" + "".join("%s=%s\r\n" % kv for kv in keys.items()))
        log, started = os.path.join(work, "rip%02d.log" % n), time.monotonic()
        status = run(runner, os.path.join(work, "quorvo_host.exe"), ["--rip", "cda://D,%d" % n, "rip.wav"], log)
        seconds = time.monotonic() - started
        text, problem = rip_log(work)
        if status != 0 or problem:
            problems.append("track %d: exit %d, %s\n%s" % (n, status, problem, open(log, errors="replace").read()))
            return "", {}, seconds
        if pcm_of(os.path.join(work, "rip.wav")) != image[bounds[n - 1] * FRAME:bounds[n] * FRAME]:
            problems.append("track %d: the WAV differs from the image" % n)
        parts, key = {}, None  # the log's lines per track, the summary's under 0
        for line in text.split("\r\n"):
            m = re.fullmatch(r"トラック (\d+)", line)
            if m or line == "概要":
                key = int(m.group(1)) if m else 0
            elif key is not None and line.startswith(AR):
                parts.setdefault(key, []).append(line)
        return text, parts, seconds

    def expect(what, got, wanted):
        if got != wanted:
            problems.append("%s: %s, expected %s" % (what, got, wanted))

    def requests():  # the server writes its log at the first request
        return open(server_log).read().count("/accuraterip/") if os.path.exists(server_log) else 0

    # The disc in the database: the first rip finds the offset with the one
    # request it verifies with, every track's sums are whipper's and only
    # track 2 mismatches.
    for n in range(1, len(LENGTHS) + 1):
        text, parts, seconds = rip(n, {"AccurateRip_Server": server} if n == 1 else None)
        if n == 1:
            expect("the first rip's offset", re.findall("読み取りオフセット: [^\r]*", text)[:1],
                   ["読み取りオフセット: +667（AccurateRip で検出）"])
            expect("the first rip's requests", requests(), 1)
        v1, v2, _ = sums[n - 1]
        expect("track %d" % n, parts.get(n, [])[:3],
               [AR + "v1 %08X" % v1, AR + "v2 %08X" % v2, AR + ("不一致" if n == 2 else "一致（信頼度 7）")])
        print("track %d ripped in %.1f s" % (n, seconds))
    expect("summary", parts.get(0), [AR + "一致 3 / 不一致 1 / データベースにありません 0"])
    expect("the offset stored", re.findall(r"^Rip_ReadOffset=(.*?)\r?$",
                                           open(os.path.join(work, "winamp.ini"), errors="replace").read(), re.M), ["667"])

    # One track each from here on, the offset known.
    def one(what, keys):
        shutil.rmtree(os.path.join(work, "rip logs"), ignore_errors=True)
        text, parts, seconds = rip(1, dict({"Rip_ReadOffset": "667", "AccurateRip_Server": server}, **keys))
        if "一致（" in text:
            problems.append("%s: a match:\n%s" % (what, text))
        verdict = [line for line in parts.get(1, []) if not re.match(AR + "v[12] ", line)]
        print("%s: %.1f s, %s" % (what, seconds, verdict))
        return verdict, parts.get(0), seconds

    before = requests()
    verdict, _, normal = one("off", {"AccurateRip_Use": "false"})
    expect("off", verdict, [AR + "照合していません"])
    expect("requests while off", requests(), before)

    closed, good = socket.socket(), open(dbar, "rb").read()
    closed.bind(("127.0.0.1", 0))  # bound, never listening: connects are refused
    for what, fault, body in [
            ("cut body", {"AccurateRip_Server": server + "/cut/20"}, good),
            ("proxy down", {"CDDB_UseProxy": "true", "CDDB_Proxy": "127.0.0.1:%d" % closed.getsockname()[1]}, good),
            ("silent server", {"AccurateRip_Server": "http://127.0.0.1:" + os.environ["QUORVO_BLACKHOLE_PORT"]}, good),
            ("wrong track count", {}, bytes([len(LENGTHS) - 1]) + good[1:])]:
        open(dbar, "wb").write(body)
        verdict, summary, seconds = one(what, fault)
        if len(verdict) != 1 or not verdict[0].startswith(NO_ANSWER) or not (summary or [""])[0].startswith(NO_ANSWER):
            problems.append("%s: %s, summary %s" % (what, verdict, summary))
        if seconds > normal + 5:
            problems.append("%s: the rip took %.1f s, %.1f s without the database" % (what, seconds, normal))

    os.remove(dbar)
    verdict, summary, _ = one("unknown disc", {})
    expect("unknown disc", (verdict, summary),
           ([AR + "データベースにありません"], [AR + "一致 0 / 不一致 0 / データベースにありません 1"]))

    print("\n".join(["FAIL: " + p for p in problems] + ["AccurateRip checked through the DLL"]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
