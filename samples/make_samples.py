#!/usr/bin/env python3
"""Writes the bundled sample document in each of the eight forms the editor
reads and writes. The text is ours; the encoders are Python's own, so the
files are an independent check of our converters."""
import os

TEXT = """Gorvane 見本文書
================

春の朝、窓を開けると川の音が聞こえてきた。
今日は古い手紙を読み返し、漢字と仮名の混じった文を書き写す。
半角カナ：ｱｲｳｴｵ ｶﾞｷﾞｸﾞ
記号：〒 ※ ≒ ≡ ∫ ∵ ◎ ☆ ♪
数字：０１２３４５６７８９ 0123456789
英字：ＡＢＣ abc ABC

一行目と二行目のあいだに空行を置く。

最後の行には改行がない。"""

FORMS = [
    ('sjis', 'cp932', b''),
    ('eucjp', 'euc_jp', b''),
    ('utf8', 'utf-8', b''),
    ('utf8bom', 'utf-8', b'\xef\xbb\xbf'),
    ('utf16le', 'utf-16-le', b''),
    ('utf16lebom', 'utf-16-le', b'\xff\xfe'),
    ('utf16be', 'utf-16-be', b''),
    ('utf16bebom', 'utf-16-be', b'\xfe\xff'),
]

here = os.path.dirname(os.path.abspath(__file__))
text = TEXT.replace('\n', '\r\n')
for name, codec, bom in FORMS:
    with open(os.path.join(here, 'sample-%s.txt' % name), 'wb') as f:
        f.write(bom + text.encode(codec))
