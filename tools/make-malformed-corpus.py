#!/usr/bin/env python3
"""Writes the corpus of damaged list and settings files used by the tests.

Each file is something a crash, another program or a damaged disk could
leave behind. Run from the repository root: tools/make-malformed-corpus.py
"""
import os
import random

out = os.path.join(os.path.dirname(__file__), "..", "tests", "data", "malformed")
os.makedirs(out, exist_ok=True)
rng = random.Random(20261208)
good = b'7,3,"Dentista","10:30"\r\n25,12,"Scade bollo",""\r\n'
ini = (b'#TRUE#,"Ord"\r\n"a.wav","Suono1"\r\n"b.wav","Suono2"\r\n"","Suono3"\r\n'
       b'"","Suono4"\r\n#FALSE#,"NewMsg"\r\n"","percorso immagini"\r\n5,"giorni preavviso"\r\n')
cases = {
    "binary-random": bytes(rng.randrange(256) for _ in range(4096)),
    "binary-zeros": b"\0" * 1000,
    "truncated-mid-text": good[:30],
    "truncated-mid-number": b"7,3,\"a\",\"\"\r\n1",
    "no-final-crlf": good.rstrip(b"\r\n"),
    "lone-cr": good.replace(b"\r\n", b"\r"),
    "lone-lf": good.replace(b"\r\n", b"\n"),
    "mixed-line-ends": b'1,1,"a",""\r2,2,"b",""\n3,3,"c",""\r\n',
    "missing-fields": b"7,3\r\n8\r\n,,,\r\n",
    "extra-fields": b'7,3,"a","9:00","b","c",d,e\r\n',
    "huge-numbers": b'99999999999999999999,-70000,"a",""\r\n1e400,3,"b",""\r\n',
    "negative-numbers": b'-7,-3,"a",""\r\n',
    "hex-numbers": b'&H7,&O3,"a",""\r\n',
    "nul-inside": b'7,3,"Den\0tista","10:30"\r\n\0\0,\0\r\n',
    "unclosed-quote": b'7,3,"Dentista,"10:30"\r\n8,3,"b",""\r\n',
    "only-quotes": b'""""""""\r\n"\r\n',
    "only-commas": b",,,,,,,,,,\r\n,,,\r\n",
    "blank-lines": b"\r\n\r\n   \r\n" + good + b"\r\n\r\n",
    "very-long-line": b'1,1,"' + b"x" * (256 * 1024) + b'",""\r\n',
    "many-short-lines": b"1,1\r\n" * 40000,
    "utf8-text": '7,3,"Caffè con Niccolò – ok",""\r\n'.encode("utf-8"),
    "utf16-bom": '7,3,"Dentista","10:30"\r\n'.encode("utf-16"),
    "undefined-cp1252": b'7,3,"\x81\x8d\x8f\x90\x9d",""\r\n',
    "leading-zeros-spaces": b'  007 ,  03 ,  "a"  ,  "9:00"  \r\n',
    "quoted-numbers": b'"7","3","a","9:00"\r\n',
    "words-as-dates": b'sette,marzo,"a",""\r\n',
    "date-out-of-range": b'31,4,"a",""\r\n32,13,"b",""\r\n0,0,"c",""\r\n',
    "tabs-inside": b'7,3,"a\tb","9\t00"\r\n',
    "control-chars": bytes(range(1, 32)) + b"\r\n",
    "ini-short": ini[:40],
    "ini-wrong-types": b'12,"Ord"\r\n#TRUE#,"Suono1"\r\n\r\n"x","NewMsg"\r\n',
    "ini-huge-days": ini.replace(b'5,"giorni', b'999999,"giorni'),
    "ini-binary": bytes(rng.randrange(256) for _ in range(300)),
    "ini-keys-shuffled": b"".join(reversed(ini.split(b"\r\n"))) ,
    "empty": b"",
}
for name, data in cases.items():
    with open(os.path.join(out, name + ".bin"), "wb") as f:
        f.write(data)
print(f"{len(cases)} files in {os.path.normpath(out)}")
