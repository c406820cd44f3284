"""Hostile SFX files made from a good one, in one table for the end-to-end
tests (builders, --test, --extract and the SFX file itself must agree) and for
the fuzz targets' seeds: entry names that Windows reads as devices or that
would leave the extraction folder, and damage that the SFX file refuses."""

import sfx_reader

PLACEHOLDER = b"zzzzzzzzzzzz.txt"
HELPER_PLACEHOLDER = "pppppppppppp"  # as long as the helper's name

# The tree of the good file: the placeholder comes last, in every listing order.
SOURCE_TREE = {"a.txt": "first\n", "sub/x.txt": "second\n" * 40, HELPER_PLACEHOLDER: None,
               PLACEHOLDER.decode(): "payload\n"}

# Each as long as the placeholder, so that only the name and its checksum
# change; bytes of code page 1252.
HOSTILE_NAMES = [
    b"nul .zzzzzzz.txt", b"COM1 .zzzzzz.txt", b"CON .zzzzzzz.txt", b"CONIN$.zzzzz.txt", b"conout$.zzzz.txt",
    b"LPT0.zzzzzzz.txt", b"Aux.zzzzzzzz.txt", b"COM\xb9.zzzzzzz.txt", b"lpt\xb2 .zzzzzz.txt",
    b"..\\..\\escape.txt", b"x/../../esc1.txt", b"zzzzzzz:zzzz.txt", b"\\zzzzzzzzzz.txt\\",
    b"zzzz\\..\\..\\z.txt", b"zzzzzzzzzzzz.tx.", b"zzzzzz\tzzzzz.txt", b"zzzzzzzzzzzz.tx ",
]
assert all(len(name) == len(PLACEHOLDER) for name in HOSTILE_NAMES)

# The stub's exit codes.
INVALID_DATA, PATH_NOT_FOUND, INVALID_PARAMETER, BAD_ARGUMENTS = 13, 3, 87, 160


def hostile_names(image):
    """(name, the image with the placeholder renamed to it) for each hostile name."""
    for name in HOSTILE_NAMES:
        yield name, sfx_reader.rename_entry(image, PLACEHOLDER, name)


def damaged(image):
    """(what, damaged image, the stub's exit code) for a good image of SOURCE_TREE
    built in extract mode."""
    sfx = sfx_reader.read_sfx_bytes(image)
    start, entries = sfx.container_start, sfx.by_name()

    def patched(offset, new):
        data = bytearray(image)
        data[offset:offset + len(new)] = new
        return bytes(data)

    run_mode = patched(start, b"\x01")  # ExtractionMode, the first byte: run, with no program entry
    unknown_type = patched(entries[b"a.txt"].offset, b"\x03")
    typed_end = patched(len(image) - sfx_reader.ENTRY_HEADER_SIZE, b"\x01")
    helper_folder = bytearray(sfx_reader.rename_entry(image, HELPER_PLACEHOLDER.encode(), b"xsfxdel~.exe"))
    helper_folder[entries[HELPER_PLACEHOLDER.encode()].offset] = 2
    inside_file = sfx_reader.rename_entry(image, b"sub\\x.txt", b"a.txt\\xxx")
    instance = patched(start + 2311, b"\\..\\..\\x")  # InstanceId
    flipped = bytearray(image)
    flipped[entries[b"sub\\x.txt"].body_offset + 8 + 6] ^= 0x40  # behind the chunk header
    yield "intact", image, 0
    yield "run mode without a program", run_mode, INVALID_PARAMETER
    yield "an unknown entry type", unknown_type, INVALID_DATA
    yield "a typed end record", typed_end, INVALID_DATA
    yield "the helper entry as a folder", bytes(helper_folder), INVALID_DATA
    yield "a file inside a file entry", inside_file, PATH_NOT_FOUND
    yield "an instance id that leaves the temporary folder", instance, INVALID_DATA
    yield "a flipped bit in packed data", bytes(flipped), BAD_ARGUMENTS
