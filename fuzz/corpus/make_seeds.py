#!/usr/bin/env python3
"""Writes the seed replies of the TOC and CD-TEXT fuzzers.

toc/*: LBA and MSF reply lengths (2 bytes each), the LBA-form reply, the
MSF-form reply, 12 bytes of session information, the full TOC
(see toc_fuzzer.cpp).
cdtext/*: READ TOC format 5 replies.
accuraterip_dbar/*: the database's answers for a disc (one response per
pressing), well-formed and cut.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def toc_reply(tracks, lead_out, msf):
    out = bytearray(struct.pack(">HBB", 2 + (len(tracks) + 1) * 8, 1, len(tracks)))
    for i, (control, lba) in enumerate(tracks + [(0, lead_out)]):
        number = i + 1 if i < len(tracks) else 0xAA
        if msf:
            x = lba + 150
            address = bytes([0, x // 4500, x // 75 % 60, x % 75])
        else:
            address = struct.pack(">I", lba)
        out += bytes([0, 0x10 | control, number, 0]) + address
    return bytes(out)


def toc_seed(tracks, lead_out, sessions=(1, 1), full=b""):
    lba = toc_reply(tracks, lead_out, False)
    msf = toc_reply(tracks, lead_out, True)
    session = bytes([0, 10, sessions[0], sessions[1]]) + bytes(8)
    return struct.pack(">HH", len(lba), len(msf)) + lba + msf + session + full


def full_toc(descriptors):
    body = b"".join(bytes([s, 0x10, 0, point, 0, 0, 0, 0, m, sec, f]) for s, point, m, sec, f in descriptors)
    return struct.pack(">HBB", len(body) + 2, 1, 2) + body


def pack(kind, info, text):
    return bytes([kind, 0, 0, info]) + text.ljust(12, b"\0") + b"\0\0"


def cdtext_block(strings_by_type, last_track, languages, index=0, double_byte=False):
    info = (0x80 if double_byte else 0) | (index << 4)
    term = b"\0\0" if double_byte else b"\0"
    packs = b""
    for kind, strings in strings_by_type.items():
        text = b"".join(s + term for s in strings)
        for k in range(0, len(text), 12):
            packs += pack(kind, info, text[k:k + 12])
    size = bytearray(36)
    size[2] = last_track
    for b, code in enumerate(languages):
        size[28 + b] = code
    for p in range(3):
        packs += pack(0x8F, info, bytes(size[12 * p:12 * p + 12]))
    return packs


def cdtext_reply(packs):
    return struct.pack(">HBB", len(packs) + 2, 0, 0) + packs


def dbar_response(ids, tracks):
    out = struct.pack("<BIII", len(tracks), *ids)
    for confidence, crc, offset_crc in tracks:
        out += struct.pack("<BII", confidence, crc, offset_crc)
    return out


def write(folder, name, data):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    with open(os.path.join(HERE, folder, name), "wb") as f:
        f.write(data)


def main():
    audio = [(2, i * 20000) for i in range(12)]
    write("toc", "audio12", toc_seed(audio, 240000))
    write("toc", "data_first", toc_seed([(4, 0)] + [(2, i * 20000) for i in range(1, 10)], 200000))
    extra = [(2, i * 18000) for i in range(10)] + [(4, 200000)]
    lead1 = 188600 + 150
    lead2 = 230000 + 150
    full = full_toc([(1, 0xA0, 1, 0, 0), (1, 0xA1, 10, 0, 0), (1, 0xA2, lead1 // 4500, lead1 // 75 % 60, lead1 % 75),
                     (2, 0xA0, 11, 0, 0), (2, 0xA1, 11, 0, 0), (2, 0xA2, lead2 // 4500, lead2 // 75 % 60, lead2 % 75)])
    write("toc", "cd_extra", toc_seed(extra, 230000, (1, 2), full))

    titles = {0x80: [b"Album"] + [b"Track %d" % i for i in range(1, 13)],
              0x81: [b"Artist"] * 13}
    write("cdtext", "english12", cdtext_reply(cdtext_block(titles, 12, [0x09])))
    ja = {0x80: ["アルバム".encode("cp932")] + [("曲%d" % i).encode("cp932") for i in range(1, 4)]}
    both = cdtext_block({0x80: [b"Album", b"One", b"Two", b"Three"]}, 3, [0x09, 0x69]) + \
        cdtext_block(ja, 3, [0x09, 0x69], index=1, double_byte=True)
    write("cdtext", "english_japanese", cdtext_reply(both))
    write("cdtext", "empty_strings", cdtext_reply(cdtext_block({0x80: [b"A", b"", b"\tB"]}, 2, [0x09])))

    ids = (0x0002189A, 0x00087F33, 0x1F02E004)
    pressing = dbar_response(ids, [(12, 0x9D3C46B4, 0xF2E5814E), (11, 0x92D4E44B, 0x3DAF9413),
                                   (9, 0x0E41C3A0, 0x52B90F11), (7, 0xB662BA2B, 0x8B7BDA10)])
    write("accuraterip_dbar", "one_pressing", pressing)
    other = dbar_response(ids, [(2, 0x11111111, 0x22222222), (0, 0, 0), (1, 0x33333333, 0), (3, 0x44444444, 0x55)])
    write("accuraterip_dbar", "three_pressings", pressing + other + dbar_response(ids, [(1, 1, 2)] * 4))
    write("accuraterip_dbar", "cut", (pressing + other)[:-5])


if __name__ == "__main__":
    main()
