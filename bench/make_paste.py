#!/usr/bin/env python3
"""Writes a Shift-JIS text of exactly LINES CR LF lines (the last one ends in
CR LF too) and about MB million bytes to paste into a document: mostly
Japanese lines of the same make as make_lines.py's (sentences of make_text.py,
some blank lines), and runs of ASCII source lines (indented C++ with
comments) as text copied from a program would bring. The output is the same
for the same arguments.

usage: make_paste.py OUT LINES MB [SEED]
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_text  # noqa: E402

NAMES = ["count", "line", "text", "offset", "page", "index", "caret", "result", "buffer", "size", "first", "last"]
TYPES = ["int", "std::uint32_t", "std::string", "auto", "bool", "const char*"]


def source_line(rng):
    """One line of made-up C++, indented by 0 to 3 levels of 4 blanks."""
    a, b = rng.choice(NAMES), rng.choice(NAMES)
    r = rng.random()
    if r < 0.3:
        s = "%s %s = %s + %d;" % (rng.choice(TYPES), a, b, rng.randint(0, 999))
    elif r < 0.5:
        s = "if (%s < %s) return %s;" % (a, b, rng.choice(["false", "true", "0", "-1", a]))
    elif r < 0.65:
        s = "for (int i = 0; i < %s; ++i) %s[i] = %s(i);" % (a, b, rng.choice(NAMES).capitalize())
    elif r < 0.8:
        s = "// %s %s %s" % (rng.choice(make_text.ASCII_WORDS), a, b)
    elif r < 0.9:
        s = "}"
    else:
        s = "%s(%s, %s);" % (rng.choice(NAMES).capitalize(), a, b)
    return " " * (4 * rng.randint(0, 3)) + s


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    out, count, target = sys.argv[1], int(sys.argv[2]), int(float(sys.argv[3]) * 1_000_000)
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 2)
    vocab = make_text.make_vocabulary(rng, make_text.kanji_pool())
    average = target / count

    lines, size, source = [], 0, 0
    while len(lines) < count:
        if source > 0:
            line = source_line(rng)
            source -= 1
        else:
            r = rng.random()
            if r < 0.015:
                source = rng.randint(3, 25)  # a run of source lines follows
                continue
            if r < 0.055:
                line = ""
            else:
                line = make_text.sentence(rng, vocab)
                while (size + len(line.encode("cp932")) + 2) / (len(lines) + 1) < average:
                    line += make_text.sentence(rng, vocab)
        lines.append(line.encode("cp932") + b"\r\n")
        size += len(lines[-1])
    with open(out + ".part", "wb") as f:
        f.write(b"".join(lines))
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main()
