#!/usr/bin/env python3
"""Writes the resource scripts, icon images and icon files of the resource
editing fixtures into OUTDIR.

Icon groups and images are written as raw resources (type 14 and type 3) so
that every icon number and language is chosen here, not by the resource
compiler. Images are real 32-bit DIBs, so the platform can also draw them.
"""
import os
import struct
import sys

NEUTRAL, CZECH, GERMAN, ENGLISH = 0, 1029, 1031, 1033


def dib(size, rgb):
    """A size x size 32-bit icon image: header, colour pixels, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytes((rgb[2], rgb[1], rgb[0], 255)) * (size * size)
    mask = bytes(((size + 31) // 32) * 4 * size)
    return header + pixels + mask


def colour(n):
    return ((n * 73) % 256, (n * 151) % 256, (n * 199 + 40) % 256)


class Script:
    def __init__(self, outdir, name):
        self.outdir, self.name, self.lines = outdir, name, []

    def language(self, lang):
        self.lines.append("LANGUAGE %d, %d" % (lang & 0x3FF, lang >> 10))

    def image(self, number, lang, size, seed):
        """Image `number` in `lang`; returns its group entry."""
        data = dib(size, colour(seed))
        path = os.path.join(self.outdir, "%s_img_%d_%d.bin" % (self.name, number, lang))
        with open(path, "wb") as f:
            f.write(data)
        self.language(lang)
        self.lines.append('%d 3 "%s"' % (number, path))
        return (size, len(data), number)

    def group(self, name, lang, entries):
        self.language(lang)
        words = ["0", "1", str(len(entries))]
        for size, length, number in entries:
            words.append('"\\x%02x\\x%02x\\x00\\x00", 1, 32, %dL, %d' % (size % 256, size % 256, length, number))
        self.lines += ["%s 14" % name, "BEGIN", "  " + ", ".join(words), "END"]

    def version(self, lang, version, description):
        block = "%04X04B0" % lang
        self.language(lang)
        self.lines += [
            "1 VERSIONINFO",
            "FILEVERSION %s" % version.replace(".", ","),
            "PRODUCTVERSION %s" % version.replace(".", ","),
            "BEGIN",
            '  BLOCK "StringFileInfo"',
            "  BEGIN",
            '    BLOCK "%s"' % block,
            "    BEGIN",
            '      VALUE "FileDescription", "%s"' % description,
            '      VALUE "FileVersion", "%s"' % version,
            "    END",
            "  END",
            '  BLOCK "VarFileInfo"',
            "  BEGIN",
            '    VALUE "Translation", 0x%X, 1200' % lang,
            "  END",
            "END",
        ]

    def write(self):
        with open(os.path.join(self.outdir, self.name + ".rc"), "w") as f:
            f.write("\n".join(self.lines) + "\n")


def stub_like(outdir, name):
    """As the stub: MAINICON in Czech with images 1..10, a string table and data."""
    s = Script(outdir, name)
    s.group("MAINICON", CZECH, [s.image(n, CZECH, 16 if n % 2 else 32, n) for n in range(1, 11)])
    s.language(CZECH)
    s.lines += ["STRINGTABLE", "BEGIN", '  1 "first"', '  2 "second"', "END"]
    s.language(NEUTRAL)
    s.lines += ["DATA RCDATA", "BEGIN", '  "payload of the data resource"', "END"]
    s.write()


def named(outdir):
    """A string-named group (English, images 7 and 8) before group 3; image 7
    exists in German too; version blocks in Czech and German."""
    s = Script(outdir, "res_named")
    s.group("ZEBRA", ENGLISH, [s.image(7, ENGLISH, 16, 70), s.image(8, ENGLISH, 32, 80)])
    s.image(7, GERMAN, 16, 71)
    s.group("3", ENGLISH, [s.image(1, ENGLISH, 16, 10), s.image(2, ENGLISH, 16, 20)])
    s.version(CZECH, "1.2.3.4", "Czech block")
    s.version(GERMAN, "5.6.7.8", "German block")
    s.write()


def numbered(outdir):
    """Groups 5 and 2; group 2 in German and English with different images;
    one English version block."""
    s = Script(outdir, "res_numbered")
    s.group("5", ENGLISH, [s.image(30, ENGLISH, 16, 30)])
    s.group("2", GERMAN, [s.image(20, GERMAN, 16, 21), s.image(22, GERMAN, 32, 22)])
    s.group("2", ENGLISH, [s.image(20, ENGLISH, 16, 23), s.image(21, ENGLISH, 16, 24)])
    s.version(ENGLISH, "9.8.7.6", "English block")
    s.write()


def broken(outdir):
    """A group whose German language is complete and whose English language
    lists an image that does not exist."""
    s = Script(outdir, "res_broken")
    good = s.image(50, GERMAN, 16, 50)
    s.group("BROKEN", GERMAN, [good])
    s.group("BROKEN", ENGLISH, [(16, len(dib(16, (0, 0, 0))), 51)])
    s.write()


def icon_file(path, images):
    """An .ico file of the given (size, seed) images."""
    datas = [dib(size, colour(seed)) for size, seed in images]
    out = struct.pack("<HHH", 0, 1, len(datas))
    offset = 6 + 16 * len(datas)
    for (size, _), data in zip(images, datas):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(datas))


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    stub_like(outdir, "res_stublike")
    stub_like(outdir, "res_middle")
    named(outdir)
    numbered(outdir)
    broken(outdir)
    icon_file(os.path.join(outdir, "three.ico"), [(16, 101), (32, 102), (48, 103)])


if __name__ == "__main__":
    main()
