#!/usr/bin/env python3
"""Writes the mixed tree of the build benchmark, about MEGABYTES in all (at
least 300) and some 25,000 files: real C headers and Windows DLLs from this
machine (the compilers and Wine that scripts/install-deps installs), many
small generated source files, and generated logs, random (incompressible)
data and sparse binaries. The same machine always gives the same tree.
Usage: make_corpus.py ROOT [MEGABYTES]"""
import os
import random
import shutil
import sys

HEADERS = ["/usr/include", "/usr/share/mingw-w64/include"]
BINARIES = ["/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/x86_64-linux-gnu"]
SMALL_FILES = 15000


def files_below(folder):
    found = []
    for top, dirs, names in os.walk(folder):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(top, name)
            if os.path.isfile(path) and not os.path.islink(path):
                found.append(path)
    return found


def main(root, megabytes):
    rng = random.Random(1234)
    total = megabytes * 1024 * 1024
    written = 0

    def put(path, data):
        nonlocal written
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        written += len(data)

    def copy(sources, prefix, budget):
        nonlocal written
        limit = written + budget
        for source in sources:
            size = os.path.getsize(source)
            if written + size > limit:
                continue
            target = os.path.join(root, prefix, source.lstrip("/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(source, target)
            written += size

    # Real text: the headers of the C library, the compilers and mingw-w64.
    copy([f for folder in HEADERS for f in files_below(folder)], "headers", total * 50 // 100)

    # Many small generated sources, a few empty.
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz_") for _ in range(rng.randint(2, 10)))
             for _ in range(3000)]
    for i in range(SMALL_FILES):
        size = 0 if i % 50 == 0 else int(rng.expovariate(1 / 1500))
        lines, length = [], 0
        while length < size:
            line = b"    " * rng.randint(0, 3) + b" ".join(rng.choices(words, k=rng.randint(3, 12))) + b";\n"
            lines.append(line)
            length += len(line)
        put(os.path.join(root, "src", "m%03d" % (i // 200), "f%05d.c" % i), b"".join(lines)[:size])

    # Real binaries: Wine's Windows DLLs, then Linux libraries.
    copy([f for folder in BINARIES for f in files_below(folder) if f.endswith((".dll", ".so", ".a"))
          or ".so." in f], "binaries", total * 20 // 100)

    # Logs, media-like random data and sparse files for the rest.
    index = 0
    while written < total:
        kind = ["log", "random", "sparse"][index % 3]
        size = min(rng.randint(1, 16) * 1024 * 1024, total - written)
        if kind == "log":
            data = b"".join(b"2026-12-09 12:%02d:%02d INFO request %d served in %d ms\n" %
                            (i % 60, (i * 7) % 60, i, i % 97) for i in range(size // 48 + 1))[:size]
        elif kind == "random":
            data = rng.randbytes(size)
        else:
            block = bytearray(size)
            for _ in range(size // 4096):
                p = rng.randrange(max(size - 64, 1))
                block[p:p + 64] = rng.randbytes(64)
            data = bytes(block)
        put(os.path.join(root, kind, "f%04d.%s" % (index, kind)), data)
        index += 1
    print(written)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 320)
