"""SFX files with entries no builder writes (tampered names, a program deep
in a tree of UTF-8 folders), made here from the stub image: an entry writer
for either form, and the image around the entries. For the end-to-end tests
and the fuzz seeds."""

import struct
import zlib

import builds
import sfx_reader
import trees
from programs import to_wine_path

BASE_TIME = 1_600_000_001  # odd: the container keeps times to two seconds
ATTR_ARCHIVE = 0x20


def entry(name, data=b"", kind=0, folder=False, extended=True):
    """An entry in either form, packed; `name` a relative path, or the bytes
    to store as they are."""
    stored = name
    if not isinstance(name, bytes):
        stored = name.replace("/", "\\").encode("utf-8" if extended else "cp1252")
    pieces = [data[i:i + sfx_reader.CHUNK_SIZE] for i in range(0, len(data), sfx_reader.CHUNK_SIZE)]
    chunks = [(len(p), zlib.compress(p, 9), sum(p)) for p in pieces]
    size = sum(n for n, _, _ in chunks)
    attributes = sfx_reader.ATTR_DIRECTORY if folder else ATTR_ARCHIVE
    entry_type = kind | (sfx_reader.ENTRY_EXTENDED if extended else 0)
    header = struct.pack("<BiiII", entry_type, len(stored), 0 if extended else size,
                         trees.dos_time_of(BASE_TIME), attributes)
    body = b"".join(struct.pack("<II", n, len(packed)) + packed for n, packed, _ in chunks)
    checksum = (sfx_reader.byte_sum(stored) + sum(s for _, _, s in chunks)) & 0xFFFFFFFF
    size64 = struct.pack("<Q", size) if extended else b""
    return header + size64 + stored + body + struct.pack("<I", checksum)


def sfx_image(out, entries, run=False, overwrite=1, silent=True):
    """The x86_64 stub image, a ConfigBlock (extraction to the custom folder
    `out`, zlib chunks) and the entries."""
    block = bytearray(sfx_reader.CONFIG_SIZE)
    block[0] = 1 if run else 0
    block[1] = 5
    folder = (to_wine_path(out) + "\\").encode("ascii")
    block[2050:2050 + len(folder)] = folder
    block[2311:2321] = b"00ABCDEF15"
    block[2323] = 1  # zlib chunks
    block[2325] = 1 if silent else 0
    block[2329] = overwrite
    end_record = bytes(sfx_reader.ENTRY_HEADER_SIZE)
    return builds.stub_image().read_bytes() + bytes(block) + b"".join(entries) + end_record
