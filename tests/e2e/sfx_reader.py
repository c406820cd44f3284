"""The tests' one reader of SFX files: it checks every checksum and unpacks every chunk."""

import dataclasses
import hashlib
import struct
import zlib
from pathlib import Path

# Container constants, written out again on purpose: the reader checks the
# builders against the format, not against their own header.
CONFIG_SIZE = 2330
ENTRY_HEADER_SIZE = 17
CHUNK_SIZE = 0x900000
MAX_PACKED_CHUNK = 0xA00000
ATTR_DIRECTORY = 0x10
ENTRY_ORDINARY, ENTRY_PROGRAM, ENTRY_HELPER = 0, 1, 2
ENTRY_EXTENDED = 0x80  # added to the kind: a 64-bit size follows the header, the name is UTF-8
HELPER_NAME = b"xsfxdel~.exe"
# Data above this size is not kept (a file of 2.5 GiB would not fit in
# memory twice); the entry holds a LargeData in its place.
KEPT_DATA = 64 << 20


class SfxFormatError(ValueError):
    """An SFX file breaks the container format."""


def byte_sum(*parts):
    """The container's checksum: the sum of all bytes modulo 2^32."""
    return sum(sum(part) for part in parts) & 0xFFFFFFFF


def container_start(image):
    """Where the container begins: the end of the raw data of the PE image's
    sections (the largest PointerToRawData + SizeOfRawData of the sections
    with raw data)."""
    if image[:2] != b"MZ":
        raise SfxFormatError("no MZ header")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise SfxFormatError("no PE signature")
    sections, optional_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
    table = pe + 24 + optional_size
    end = 0
    for i in range(sections):
        raw_size, raw_pointer = struct.unpack_from("<II", image, table + 40 * i + 16)
        if raw_size > 0:
            end = max(end, raw_pointer + raw_size)
    if end == 0 or end > len(image):
        raise SfxFormatError(f"section data ends at {end}, the file has {len(image)} bytes")
    return end


@dataclasses.dataclass
class SfxConfig:
    extraction_mode: int
    extraction_folder: int
    cmd_parameters: bytes
    custom_folder: bytes
    instance_id: str
    open_folder: int
    compression: int
    one_instance: int
    silent_mode: int
    self_delete_mode: int
    delete_mode: int
    working_directory: int
    overwrite_mode: int


def _text_field(block, offset, size, what):
    field = block[offset:offset + size]
    end = field.find(b"\0")
    if end < 0:
        raise SfxFormatError(f"{what} has no terminating zero byte")
    if any(field[end:]):
        raise SfxFormatError(f"{what} is not zero-padded")
    return field[:end]


def parse_config(block):
    """Decodes and checks the 2330-byte ConfigBlock."""
    if len(block) != CONFIG_SIZE:
        raise SfxFormatError(f"the ConfigBlock has {len(block)} bytes")
    instance = block[2311:2322]
    if instance[10] != 0 or any(c not in b"0123456789ABCDEF" for c in instance[:10]):
        raise SfxFormatError(f"bad InstanceId {instance!r}")
    config = SfxConfig(block[0], block[1], _text_field(block, 2, 2048, "CmdParameters"),
                       _text_field(block, 2050, 261, "CustomFolder"), instance[:10].decode("ascii"),
                       *block[2322:2330])
    limits = {"extraction_mode": 1, "extraction_folder": 5, "open_folder": 1, "compression": 1,
              "one_instance": 1, "silent_mode": 1, "self_delete_mode": 1, "delete_mode": 2,
              "working_directory": 2, "overwrite_mode": 2}
    for field, limit in limits.items():
        if getattr(config, field) > limit:
            raise SfxFormatError(f"{field} is {getattr(config, field)}, above {limit}")
    return config


@dataclasses.dataclass(frozen=True)
class LargeData:
    """Data too large to keep: its size, byte sum and a digest of its chunks'
    data in order, which two SFX files share when their data is the same."""
    size: int
    byte_sum: int
    digest: bytes

    def __len__(self):
        return self.size


@dataclasses.dataclass
class SfxEntry:
    entry_type: int        # the kind: ENTRY_ORDINARY, ENTRY_PROGRAM or ENTRY_HELPER
    name: bytes            # as stored: UTF-8 in an extended entry, else in the code page
    size: int
    dos_time: int
    attributes: int
    data: bytes            # unpacked file data; empty for a folder; a LargeData above KEPT_DATA
    checksum: int
    chunks: list           # (unpacked length, packed length) per chunk
    streams: bytes         # the chunks' zlib streams, back to back
    extended: bool         # an extended entry
    offset: int = dataclasses.field(compare=False)  # where its entry header begins in the file

    @property
    def is_folder(self):
        return bool(self.attributes & ATTR_DIRECTORY)

    @property
    def body_offset(self):
        """Where its data (or its first chunk header) begins in the file."""
        return self.offset + ENTRY_HEADER_SIZE + (8 if self.extended else 0) + len(self.name)


@dataclasses.dataclass
class Sfx:
    container_start: int
    config: SfxConfig
    entries: list
    file_size: int

    def by_name(self):
        return {entry.name: entry for entry in self.entries}


def _inflate_chunk(packed, unpacked_length, where):
    inflater = zlib.decompressobj()
    try:
        data = inflater.decompress(packed) + inflater.flush()
    except zlib.error as error:
        raise SfxFormatError(f"{where}: {error}") from None
    if not inflater.eof or inflater.unused_data:
        raise SfxFormatError(f"{where}: not exactly one complete zlib stream")
    if len(data) != unpacked_length:
        raise SfxFormatError(f"{where}: unpacks to {len(data)} bytes, the header says {unpacked_length}")
    return data


class _ChunkData:
    """The unpacked chunks of one entry: kept, or summed and digested; chunks
    that pack small (runs of one byte, as in a sparse file) are unpacked once."""
    _known = {}

    def __init__(self, keep):
        self.keep, self.pieces, self.sum, self.digest = keep, [], 0, hashlib.sha256()

    def add(self, packed, unpacked_length, where):
        known = self._known.get(packed) if not self.keep and len(packed) < 65536 else None
        if known is None or known[0] != unpacked_length:
            data = _inflate_chunk(packed, unpacked_length, where)
            known = (unpacked_length, sum(data), hashlib.sha256(data).digest())
            if self.keep:
                self.pieces.append(data)
            elif len(packed) < 65536:
                self._known[packed] = known
        self.sum += known[1]
        self.digest.update(known[2])

    def result(self, size):
        return b"".join(self.pieces) if self.keep else LargeData(size, self.sum & 0xFFFFFFFF, self.digest.digest())


def read_sfx_bytes(image):
    """Reads a whole SFX image: finds the container, decodes the ConfigBlock,
    walks every entry of either form, unpacks every chunk and checks every
    checksum and the end record. Raises SfxFormatError at the first fault."""
    start = container_start(image)
    position = start + CONFIG_SIZE
    if position > len(image):
        raise SfxFormatError("the file ends inside the ConfigBlock")
    config = parse_config(image[start:position])

    def take(count, what):
        nonlocal position
        if count < 0 or position + count > len(image):
            raise SfxFormatError(f"the file ends inside {what} (offset {position}, {count} bytes)")
        piece = image[position:position + count]
        position += count
        return piece

    entries = []
    while True:
        offset = position
        entry_type, name_length, size, dos_time, attributes = struct.unpack(
            "<BiiII", take(ENTRY_HEADER_SIZE, "an entry header"))
        if name_length == 0 and size == 0 and dos_time == 0 and attributes == 0:
            if entry_type != 0:
                raise SfxFormatError(f"the end record has type {entry_type}")
            break
        extended, kind = bool(entry_type & ENTRY_EXTENDED), entry_type & ~ENTRY_EXTENDED
        if extended:
            if size != 0:
                raise SfxFormatError(f"entry {len(entries)}: an extended entry with the classic size {size}")
            size = struct.unpack("<q", take(8, "the 64-bit size of an extended entry"))[0]
        if name_length <= 0 or size < 0:
            raise SfxFormatError(f"entry {len(entries)}: name length {name_length}, size {size}")
        if kind not in (ENTRY_ORDINARY, ENTRY_PROGRAM, ENTRY_HELPER):
            raise SfxFormatError(f"entry {len(entries)}: type {entry_type}")
        name = take(name_length, "an entry name")
        where = f"entry {name!r}"
        if extended:
            try:
                name.decode("utf-8")
            except UnicodeDecodeError:
                raise SfxFormatError(f"{where}: an extended entry's name is no UTF-8") from None
        chunks, streams = [], []
        if attributes & ATTR_DIRECTORY:
            if size != 0:
                raise SfxFormatError(f"{where}: a folder with size {size}")
            data, data_sum = b"", 0
        elif config.compression:
            unpacked_data, done = _ChunkData(keep=size <= KEPT_DATA), 0
            while done < size:
                unpacked, packed = struct.unpack("<II", take(8, f"a chunk header of {where}"))
                if packed > MAX_PACKED_CHUNK:
                    raise SfxFormatError(f"{where}: packed chunk of {packed} bytes")
                if unpacked == 0 or done + unpacked > size:
                    raise SfxFormatError(f"{where}: chunk of {unpacked} bytes at {done} of {size}")
                streams.append(take(packed, f"a chunk of {where}"))
                unpacked_data.add(streams[-1], unpacked, f"{where} chunk {len(chunks)}")
                chunks.append((unpacked, packed))
                done += unpacked
            data, data_sum = unpacked_data.result(size), unpacked_data.sum
        else:
            data = take(size, f"the data of {where}")
            data_sum = sum(data)
        checksum = struct.unpack("<I", take(4, f"the checksum of {where}"))[0]
        expected = (byte_sum(name) + data_sum) & 0xFFFFFFFF
        if checksum != expected:
            raise SfxFormatError(f"{where}: checksum {checksum:#x}, the content sums to {expected:#x}")
        entries.append(SfxEntry(kind, name, size, dos_time, attributes, data, checksum, chunks,
                                b"".join(streams), extended, offset))
    if position != len(image):
        raise SfxFormatError(f"{len(image) - position} bytes follow the end record")
    return Sfx(start, config, entries, len(image))


def read_sfx(path):
    """read_sfx_bytes over a file."""
    return read_sfx_bytes(Path(path).read_bytes())


def rename_entry(image, old, new):
    """The SFX image with its entry named `old` (bytes) renamed to `new`, a
    name of the same length, and the entry's checksum made to fit: the
    container stays well-formed, only the name differs, as if it had been
    altered after the build."""
    if len(new) != len(old):
        raise ValueError(f"{new!r} is not as long as {old!r}")
    entry = read_sfx_bytes(image).by_name()[old]
    body = sum(8 + packed for _, packed in entry.chunks) if entry.chunks else len(entry.data)
    renamed = bytearray(image)
    renamed[entry.body_offset - len(old):entry.body_offset] = new
    fixed = entry.checksum - byte_sum(old) + byte_sum(new)
    struct.pack_into("<I", renamed, entry.body_offset + body, fixed & 0xFFFFFFFF)
    return bytes(renamed)
