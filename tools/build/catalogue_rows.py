#!/usr/bin/env python3
"""Writes where each row of the location catalogue starts, for the program to embed beside it.

The program then finds row N (a stored choice) by one look into this table instead of reading
the catalogue up to it. Output: little-endian 32-bit offsets into the data without its UTF-8
byte-order mark, one per row and one more for the end of the data. A row ends at "\\n"; text
after the last one is a last row.
Usage: catalogue_rows.py LOCATIONS_TXT OUTPUT
"""
import struct
import sys


def row_starts(data: bytes) -> list[int]:
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    starts = [0] if data else []
    at = data.find(b"\n")
    while at != -1:
        if at + 1 < len(data):
            starts.append(at + 1)
        at = data.find(b"\n", at + 1)
    return starts + [len(data)]


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    with open(sys.argv[1], "rb") as f:
        starts = row_starts(f.read())
    if starts[-1] > 0xFFFFFFFF:
        print("catalogue_rows.py: the data is larger than 4 GiB", file=sys.stderr)
        return 1
    with open(sys.argv[2], "wb") as f:
        f.write(struct.pack("<%dI" % len(starts), *starts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
