#!/usr/bin/env python3
"""Writes a deterministic mixed corpus for the build benchmark: source-like
text, log lines, random (incompressible) data, sparse binaries, many small files."""
import os
import random
import sys

def main(root, megabytes):
    rng = random.Random(1234)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10))) for _ in range(2000)]
    total = megabytes * 1024 * 1024
    written = 0
    kinds = ["text", "log", "random", "sparse", "small"]
    index = 0
    while written < total:
        kind = kinds[index % len(kinds)]
        folder = os.path.join(root, kind, "d%02d" % (index // 25))
        os.makedirs(folder, exist_ok=True)
        if kind == "small":
            for j in range(200):
                data = b" ".join(rng.choice(words) for _ in range(rng.randint(10, 400)))
                with open(os.path.join(folder, "s%04d_%03d.txt" % (index, j)), "wb") as f:
                    f.write(data)
                written += len(data)
        else:
            size = rng.randint(2, 24) * 1024 * 1024
            if kind == "text":
                line = lambda: b"    " + b" ".join(rng.choice(words) for _ in range(rng.randint(3, 12))) + b";\n"
                data = b"".join(line() for _ in range(size // 40))
            elif kind == "log":
                data = b"".join(b"2026-12-09 12:%02d:%02d INFO request %d served in %d ms\n" %
                                (i % 60, i % 60, i, i % 97) for i in range(size // 48))
            elif kind == "random":
                data = rng.randbytes(size)
            else:
                block = bytearray(size)
                for _ in range(size // 4096):
                    p = rng.randrange(size - 64)
                    block[p:p + 64] = rng.randbytes(64)
                data = bytes(block)
            with open(os.path.join(folder, "f%04d.%s" % (index, kind)), "wb") as f:
                f.write(data)
            written += len(data)
        index += 1
    print(written)

if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 200)
