#!/usr/bin/env python3
"""Writes the player fuzzer's seed corpus from the show's module.

Each seed is an 8-byte control block (see player_fuzz.cpp) followed by an XM module. The
full module is large, so the seeds keep its structure (header, order table, patterns,
instruments) and cut every sample to a few bytes; three of them are then damaged in the
places a loader trusts most.

    make_seeds.py MODULE OUTDIR
"""
import struct
import sys
from pathlib import Path

SAMPLE_KEEP = 32  # bytes of sample data kept per sample


def shrink(xm: bytes) -> bytearray:
    header_size = struct.unpack_from("<I", xm, 60)[0]
    patterns, instruments = struct.unpack_from("<HH", xm, 70)
    out = bytearray(xm[: 60 + header_size])
    at = 60 + header_size
    for _ in range(patterns):
        size = struct.unpack_from("<I", xm, at)[0]
        packed = struct.unpack_from("<H", xm, at + 7)[0]
        out += xm[at : at + size + packed]
        at += size + packed
    for _ in range(instruments):
        size = struct.unpack_from("<I", xm, at)[0]
        samples = struct.unpack_from("<H", xm, at + 27)[0]
        out += xm[at : at + size]
        if samples == 0:
            at += size
            continue
        sample_header = struct.unpack_from("<I", xm, at + 29)[0]
        at += size
        lengths = []
        for s in range(samples):
            h = bytearray(xm[at + s * sample_header : at + (s + 1) * sample_header])
            length, loop_start, loop_length = struct.unpack_from("<III", h, 0)
            kept = min(length, SAMPLE_KEEP)
            loop_start = min(loop_start, kept)
            loop_length = min(loop_length, kept - loop_start)
            struct.pack_into("<III", h, 0, kept, loop_start, loop_length)
            out += h
            lengths.append((length, kept))
        at += samples * sample_header
        for length, kept in lengths:
            out += xm[at : at + kept]
            at += length
    return out


def main() -> None:
    module = Path(sys.argv[1]).read_bytes()
    outdir = Path(sys.argv[2])
    outdir.mkdir(parents=True, exist_ok=True)
    small = shrink(module)
    # Control: flags (bit 0 loop), decode blocks, seek order, seek row, two sync
    # instruments, two callback actions.
    plain = bytes([1, 8, 0, 0, 6, 2, 0, 0])
    busy = bytes([0, 16, 2, 0, 2, 6, 3, 1])
    seeds = {"module-small": plain + small, "module-callbacks": busy + small}
    damaged = bytearray(small)
    struct.pack_into("<H", damaged, 68, 64)  # more channels than the patterns hold
    seeds["channels-64"] = plain + damaged
    damaged = bytearray(small)
    damaged[80 + 3] = 0xFE  # an order entry past the last pattern
    seeds["order-past-patterns"] = busy + damaged
    damaged = bytearray(small)
    cut = 60 + struct.unpack_from("<I", small, 60)[0] + 9 + 200
    seeds["cut-in-pattern"] = plain + damaged[:cut]
    for name, data in seeds.items():
        (outdir / name).write_bytes(data)


if __name__ == "__main__":
    main()
