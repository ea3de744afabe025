#!/usr/bin/env python3
"""Writes a large Japanese text file in Shift-JIS (code page 932), EUC-JP and
UTF-8 for the conversion benchmark.

The text is made of sentences of kanji compounds, hiragana, katakana words,
full-width punctuation, ASCII words and numbers and some half-width katakana,
in CR LF lines of varying length with a few blank lines. Kanji compounds and
katakana words are drawn from vocabularies by Zipf's law, as in real text.
Only characters that every converter maps the same way are used (JIS X 0208
kanji and kana, common punctuation, ASCII), so the outputs of different tools
can be compared byte for byte. The output is the same for the same seed and
size.

usage: make_text.py OUTDIR [SJIS_MEGABYTES] [SEED]
"""
import itertools
import os
import random
import sys


def kanji_pool():
    """JIS X 0208 level-1 kanji (Shift-JIS 0x889F-0x9872)."""
    out = []
    for lead in range(0x88, 0x99):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            code = bytes([lead, trail])
            if code < b"\x88\x9f" or code > b"\x98\x72":
                continue
            try:
                out.append(code.decode("cp932"))
            except UnicodeDecodeError:
                pass
    return out


HIRAGANA = [chr(c) for c in range(0x3041, 0x3094)]
KATAKANA = [chr(c) for c in range(0x30A1, 0x30F7)] + ["ー"]
HALFWIDTH = [chr(c) for c in range(0xFF66, 0xFF9E)]
PARTICLES = ["は", "が", "を", "に", "で", "と", "の", "も", "へ", "から", "まで", "より", "について", "として"]
ENDINGS = ["です", "ます", "でした", "しました", "している", "された", "する", "ない", "だろう", "と思う"]
PUNCT_IN = ["、", "、", "・", "「", "」", "（", "）"]
PUNCT_END = ["。", "。", "。", "！", "？"]
ASCII_WORDS = ["Gorvane", "Windows", "file", "data", "version", "UTF-8", "C++", "error", "OK", "ID", "URL",
               "http://example.jp/index.html", "a.b.c", "x = y + 1;", "[note]", "#define", "\\path\\to"]


def make_vocabulary(rng, kanji):
    words = []
    for _ in range(6000):  # kanji compounds with okurigana now and then
        w = "".join(rng.choice(kanji) for _ in range(rng.choice((1, 2, 2, 2, 3, 4))))
        if rng.random() < 0.3:
            w += "".join(rng.choice(HIRAGANA) for _ in range(rng.randint(1, 3)))
        words.append(w)
    katakana = ["".join(rng.choice(KATAKANA) for _ in range(rng.randint(2, 7))) for _ in range(800)]
    halfwidth = ["".join(rng.choice(HALFWIDTH) for _ in range(rng.randint(2, 6))) for _ in range(200)]
    hiragana = ["".join(rng.choice(HIRAGANA) for _ in range(rng.randint(1, 5))) for _ in range(800)]
    return zipf(rng, words), zipf(rng, katakana), halfwidth, hiragana


def zipf(rng, items):
    """A chooser of items by Zipf's law: the k-th is used about 1/k as often as
    the first, as words are in natural text."""
    cum = list(itertools.accumulate(1.0 / (k + 1) for k in range(len(items))))
    return lambda: rng.choices(items, cum_weights=cum)[0]


def sentence(rng, vocab):
    words, katakana, halfwidth, hiragana = vocab
    parts = []
    for _ in range(rng.randint(2, 7)):
        r = rng.random()
        if r < 0.55:
            parts.append(words())
        elif r < 0.70:
            parts.append(rng.choice(hiragana))
        elif r < 0.82:
            parts.append(katakana())
        elif r < 0.92:
            parts.append(rng.choice(ASCII_WORDS) if rng.random() < 0.7 else str(rng.randint(0, 99999)))
        elif r < 0.96:
            parts.append(rng.choice(halfwidth))
        else:
            parts.append(rng.choice(PUNCT_IN))
        parts.append(rng.choice(PARTICLES))
        if rng.random() < 0.25:
            parts.append("、")
    parts.append(rng.choice(ENDINGS))
    parts.append(rng.choice(PUNCT_END))
    return "".join(parts)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    outdir = sys.argv[1]
    target = int(float(sys.argv[2]) * 1_000_000) if len(sys.argv) > 2 else 24_000_000
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    rng = random.Random(seed)
    vocab = make_vocabulary(rng, kanji_pool())

    # Build a block of lines once and vary it by rotation: fast, and still far
    # too varied for any converter to gain from repetition.
    lines = []
    size = 0
    while size < 2_000_000:
        r = rng.random()
        if r < 0.04:
            line = ""
        elif r < 0.10:
            line = rng.choice(ASCII_WORDS) + " " + str(rng.randint(0, 9999)) + " " + rng.choice(ASCII_WORDS)
        else:
            line = "".join(sentence(rng, vocab) for _ in range(rng.randint(1, 4)))
            if rng.random() < 0.1:
                line = "　" + line  # ideographic space indent
        lines.append(line)
        size += len(line.encode("cp932")) + 2
    block = "\r\n".join(lines) + "\r\n"

    text = []
    total = 0
    while total < target:
        k = rng.randrange(len(block))
        k = block.index("\n", k) + 1 if "\n" in block[k:] else 0
        chunk = block[k:] + block[:k]
        text.append(chunk)
        total += len(chunk.encode("cp932"))
    doc = "".join(text)

    os.makedirs(outdir, exist_ok=True)
    for name, codec in (("sjis", "cp932"), ("eucjp", "euc_jp"), ("utf8", "utf-8")):
        path = os.path.join(outdir, "text-%s.txt" % name)
        with open(path + ".part", "wb") as f:
            f.write(doc.encode(codec))
        os.replace(path + ".part", path)


if __name__ == "__main__":
    main()
