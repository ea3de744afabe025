#!/usr/bin/env python3
"""Writes a large dictionary-like text, mostly ASCII, in Shift-JIS (code page
932), EUC-JP and UTF-8 for the conversion benchmark, beside make_text.py's
prose.

Each CR LF line is an entry: a Japanese headword (kanji compounds, sometimes
with okurigana, or a katakana loanword), its reading in kana in brackets, and
English glosses with part-of-speech tags and sense numbers, now and then a
cross-reference or an example in Japanese. Headwords and English words are
drawn by Zipf's law. About 60% of the Shift-JIS bytes are ASCII (the script
prints the share). Only characters that every converter maps the same way are
used, so the outputs of different tools can be compared byte for byte. The
output is the same for the same seed and size.

usage: make_dict.py OUTDIR [SJIS_MEGABYTES] [SEED]
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_text  # noqa: E402

ENGLISH = """
a an the of to in on at by for with from into over under about after before between through during without
be have do make take give get go come see know think say tell find use work call try ask need feel become leave
put mean keep let begin seem help show hear play run move live believe bring happen write sit stand lose pay
meet include continue set learn change lead understand watch follow stop create speak read spend grow open walk
win teach offer remember consider appear buy serve die send build stay fall cut reach kill raise pass sell decide
return explain hope develop carry break receive agree support hit produce eat cover catch draw choose wear
person man woman child world life hand part place case week company system program question government number
night point home water room mother area money story fact month lot right study book eye job word business issue
side kind head house service friend father power hour game line end member law car city community name president
team minute idea kid body information back parent face others level office door health art war history party
result change morning reason research girl guy moment air teacher force education foot boy age policy music
small large good new first last long great little own other old right big high different local bad important
young early public able strong free full clear certain wide deep dark heavy quiet warm cold soft hard quick
slowly often always never sometimes together almost already especially quickly finally simply clearly recently
tree river mountain rain snow wind sun moon star flower bird fish dog cat horse cow rice tea paper stone iron
""".split()
POS = ["(n)", "(n)", "(n)", "(n,vs)", "(v5r,vt)", "(v1,vi)", "(adj-i)", "(adj-na)", "(adv)", "(exp)", "(n,adj-no)",
       "(v5k,vt)", "(v5s)", "(int)", "(ctr)", "(pref)", "(suf)"]
NOTES = ["(uk)", "(arch)", "(col)", "(hon)", "(hum)", "(pol)", "(sl)", "(abbr)", "(obsc)", "(id)"]
FIELDS = ["{comp}", "{math}", "{med}", "{law}", "{bot}", "{food}", "{sports}", "{ling}", "{biol}", "{music}"]


def gloss(rng, english):
    words = [english() for _ in range(rng.choice((1, 1, 2, 2, 2, 3)))]
    if rng.random() < 0.15:
        words.insert(0, "to")
    if rng.random() < 0.08:
        words.append("(e.g. %s)" % english())
    return " ".join(words)


def entry(rng, vocab, english, reading_of):
    words, katakana, _halfwidth, hiragana = vocab
    r = rng.random()
    if r < 0.75:
        head = words()
    elif r < 0.9:
        head = katakana()
    else:
        head = rng.choice(hiragana) + words()
    parts = [head, " [", reading_of(head), "] /"]
    for sense in range(rng.choice((1, 1, 1, 2, 2))):
        tags = [rng.choice(POS)]
        if rng.random() < 0.2:
            tags.append(rng.choice(NOTES))
        if rng.random() < 0.1:
            tags.append(rng.choice(FIELDS))
        if sense:
            tags.append("(%d)" % (sense + 1))
        glosses = "/".join(gloss(rng, english) for _ in range(rng.choice((1, 1, 2))))
        parts += [" ".join(tags), " ", glosses, "/"]
    if rng.random() < 0.1:
        parts += ["(See ", words(), ")/"]
    if rng.random() < 0.05:
        parts += ["EntL", str(rng.randint(1000000, 2999999)), "X/"]
    if rng.random() < 0.2:
        parts += [" ", make_text.sentence(rng, vocab)]
    return "".join(parts)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    outdir = sys.argv[1]
    target = int(float(sys.argv[2]) * 1_000_000) if len(sys.argv) > 2 else 24_000_000
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    rng = random.Random(seed)
    vocab = make_text.make_vocabulary(rng, make_text.kanji_pool())
    english = make_text.zipf(rng, ENGLISH)
    readings = {}

    def reading_of(head):
        # A reading per headword, kept, as a dictionary has one.
        if head not in readings:
            n = max(2, min(9, len(head) * rng.choice((1, 2, 2, 2, 3))))
            readings[head] = "".join(rng.choice(make_text.HIRAGANA) for _ in range(n))
        return readings[head]

    # A block of entries varied by rotation, as make_text.py does.
    lines, size = [], 0
    while size < 2_000_000:
        line = entry(rng, vocab, english, reading_of)
        lines.append(line)
        size += len(line.encode("cp932")) + 2
    block = "\r\n".join(lines) + "\r\n"
    text, total = [], 0
    while total < target:
        k = rng.randrange(len(block))
        k = block.index("\n", k) + 1 if "\n" in block[k:] else 0
        chunk = block[k:] + block[:k]
        text.append(chunk)
        total += len(chunk.encode("cp932"))
    doc = "".join(text)

    os.makedirs(outdir, exist_ok=True)
    for name, codec in (("sjis", "cp932"), ("eucjp", "euc_jp"), ("utf8", "utf-8")):
        data = doc.encode(codec)
        if name == "sjis":
            ascii_share = sum(1 for b in data if b < 0x80) / len(data)
        path = os.path.join(outdir, "dict-%s.txt" % name)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.replace(path + ".part", path)
    print("dictionary text: %.0f%% of the Shift-JIS bytes are ASCII" % (100 * ascii_share))


if __name__ == "__main__":
    main()
