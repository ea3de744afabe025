#!/usr/bin/env python3
"""Writes a Shift-JIS document of exactly LINES lines and about MB million
bytes, made of the same Japanese text as make_text.py (lines of one or more
sentences, some blank and some ASCII lines), for the loading and saving
benchmark. Every line ends in CR LF but the last, so that the document the
editor makes of it has LINES lines (1,600,000 is the most it holds). The
output is the same for the same arguments.

usage: make_lines.py OUT LINES MB [SEED]
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_text  # noqa: E402


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    out, count, target = sys.argv[1], int(sys.argv[2]), int(float(sys.argv[3]) * 1_000_000)
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    vocab = make_text.make_vocabulary(rng, make_text.kanji_pool())
    average = target / count

    # A block of lines whose running mean stays near the wanted line length,
    # repeated with rotation.
    block, size = [], 0
    while len(block) < 50_000:
        r = rng.random()
        if r < 0.04:
            line = ""
        elif r < 0.10:
            line = rng.choice(make_text.ASCII_WORDS) + " " + str(rng.randint(0, 9999))
        else:
            line = make_text.sentence(rng, vocab)
            while (size + len(line.encode("cp932")) + 2) / (len(block) + 1) < average:
                line += make_text.sentence(rng, vocab)
        block.append(line.encode("cp932") + b"\r\n")
        size += len(block[-1])
    parts, n = [], 0
    while n < count:
        k = rng.randrange(len(block))
        take = block[k:] + block[:k]
        take = take[: count - n]
        parts.extend(take)
        n += len(take)
    parts[-1] = parts[-1][:-2]  # the document's last line has no line end
    with open(out + ".part", "wb") as f:
        f.write(b"".join(parts))
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main()
