#!/usr/bin/env python3
"""Writes the text sheets the text tests read, into the folder given as argument.

Each sheet comes in every encoding (UTF-8 with and without byte order mark, UTF-16 LE and BE,
Windows-1252) and every line-end style (LF, CRLF, CR, mixed), as NAME.ENCODING.ENDS.EXT beside
NAME.ENCODING.ENDS.expected.EXT: the sheet moved up two semitones, byte for byte as it must come
out. manifest.txt lists the sources.
"""
import pathlib
import sys

# Every chord keeps its length and none lands on B-natural (which the classic recognition writes
# H), so both recognitions agree and no column rule is involved.
PLAIN = (
    ["Dm      F       C    G",
     "Über den Wolken muss die Freiheit",
     "C    E7",
     "wohl grenzenlos sein, ä ö ü ß é",
     "A little bird",
     "Fine € \u0081\u008d\u008f\u0090\u009d"],
    ["Em      G       D    A",
     "Über den Wolken muss die Freiheit",
     "D    F#7",
     "wohl grenzenlos sein, ä ö ü ß é",
     "A little bird",
     "Fine € \u0081\u008d\u008f\u0090\u009d"],
)
CHORDPRO = (
    ["{title: Über den Wolken}",
     "{key: Dm}",
     "{capo: 2}",
     "# C G Am in a comment",
     "{define: G base-fret 1 frets 3 2 0 0 0 3}",
     "[Dm]Über den [F]Wolken muss die [C]Frei[G]heit",
     "wohl [G]grenzen[E7]los sein, ä ö ü ß é",
     "[Verse 1] [N.C.] [*Riff]  {key:C}",
     "Dm      F",
     "A little bird"],
    ["{title: Über den Wolken}",
     "{key: Em}",
     "{capo: 2}",
     "# C G Am in a comment",
     "{define: G base-fret 1 frets 3 2 0 0 0 3}",
     "[Em]Über den [G]Wolken muss die [D]Frei[A]heit",
     "wohl [A]grenzen[F#7]los sein, ä ö ü ß é",
     "[Verse 1] [N.C.] [*Riff]  {key:C}",
     "Em      G",
     "A little bird"],
)

ENDS = {
    "lf": lambda i: "\n",
    "crlf": lambda i: "\r\n",
    "cr": lambda i: "\r",
    "mixed": lambda i: ("\n", "\r\n", "\r")[i % 3],
}


def windows_1252(text):
    # Python's codec refuses the five bytes Windows-1252 leaves undefined; they stand for
    # themselves.
    return b"".join(bytes([ord(c)]) if ord(c) in (0x81, 0x8D, 0x8F, 0x90, 0x9D)
                    else c.encode("cp1252") for c in text)


ENCODINGS = {
    "utf8": lambda text: text.encode("utf-8"),
    "utf8bom": lambda text: b"\xef\xbb\xbf" + text.encode("utf-8"),
    "utf16le": lambda text: b"\xff\xfe" + text.encode("utf-16-le"),
    "utf16be": lambda text: b"\xfe\xff" + text.encode("utf-16-be"),
    "cp1252": windows_1252,
}


def joined(lines, ends):
    # The mixed style also leaves the last line without an end.
    text = "".join(line + ENDS[ends](i) for i, line in enumerate(lines))
    return text[: -len(ENDS[ends](len(lines) - 1))] if ends == "mixed" else text


def main():
    out = pathlib.Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    sources = []
    for name, extension, (source, expected) in (("plain", "txt", PLAIN),
                                                ("song", "cho", CHORDPRO)):
        for encoding, encode in ENCODINGS.items():
            for ends in ENDS:
                stem = f"{name}.{encoding}.{ends}"
                (out / f"{stem}.{extension}").write_bytes(encode(joined(source, ends)))
                (out / f"{stem}.expected.{extension}").write_bytes(
                    encode(joined(expected, ends)))
                sources.append(f"{stem}.{extension}")
    (out / "manifest.txt").write_text("\n".join(sources) + "\n")


if __name__ == "__main__":
    main()
