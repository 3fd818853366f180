#!/usr/bin/python3
"""Songbook pages as real books lay them out, written as .docx and moved through the program.

Usage: songbooks.py make DIR
       songbooks.py check MELVANE_CLI DIR WORK_DIR

make writes one page per kind of trouble real songbooks show: chords inline in parentheses (a
German scout book), a German book with English songs parted by headings, a page break and a
bold title, a Polish page, a tablature page, and a chord line whose spaces sit in runs of their
own. check moves each up two semitones with melvane-cli and compares every paragraph with what
it must read. The songs are written for this project.
"""
import subprocess
import sys
from pathlib import Path

import docx
from docx.shared import Pt

# Each page: its paragraphs as (style, text or runs), and the paragraphs after +2.
# Style "h" is Heading 1, "b" a bold title, "p" a plain paragraph, "break" a page break before.
PAGES = {
    "inline_german": {
        "names": "german",
        "paragraphs": [
            ("h", "Am Lagerfeuer"),
            ("p", "(A) Wenn die Sonne untergeht"),
            ("p", "da-(C)-bei war'n da am (dm) Horizont"),
            ("p", "robi-(E)-net, (D) (G) (Hm)(A)"),
            ("p", "Reich des Friedens, Gottes Reich, lebt es schon"),
            ("p", "…will ich es auch haben:"),
            ("p", "Strophe 2: (a) Und weiter (E7) geht's (2x)"),
        ],
        "expected": [
            "Am Lagerfeuer",
            "(H) Wenn die Sonne untergeht",
            "da-(D)-bei war'n da am (em) Horizont",
            "robi-(F#)-net, (E) (A) (C#m)(H)",
            "Reich des Friedens, Gottes Reich, lebt es schon",
            "…will ich es auch haben:",
            "Strophe 2: (h) Und weiter (F#7) geht's (2x)",
        ],
    },
    "mixed_book": {
        "names": "german",
        "paragraphs": [
            ("h", "Abendlied"),
            ("p", "d   a   H7   e"),
            ("p", "So geht der Tag, es ist vollbracht"),
            ("h", "Sweet Home"),
            ("p", "(Em) (Bm) (Em)"),
            ("p", "G A D Bm"),
            ("p", "he (Am) drinks his (E7) liquor"),
            ("break", "E   A   Em   B"),
            ("p", "Listen as the crowd"),
            ("b", "Words: Ben E. King"),
            ("p", "Fis  Cis  h  e"),
            ("p", "oí a la muerte"),
        ],
        "expected": [
            "Abendlied",
            "e   h   Cis7 fis",
            "So geht der Tag, es ist vollbracht",
            "Sweet Home",
            "(F#m) (C#m) (F#m)",
            "A B E C#m",
            "he (Bm) drinks his (F#7) liquor",
            "F#  B   F#m  C#",
            "Listen as the crowd",
            "Words: Ben E. King",
            "Gis  Dis  cis fis",
            "oí a la muerte",
        ],
    },
    "polish": {
        "names": "german",
        "paragraphs": [
            ("h", "Płynie rzeka"),
            ("p", "Płynie rzeka tekst    h E h    G fis"),
            ("p", "I woda płynie    a B H d"),
            ("h", "Walking Bass"),
            ("p", "/F#  /G#  /B"),
            ("p", "Am/E  /F  /F#"),
            ("p", "Dmb6  Amb6  CM7/6  E9/7"),
            ("p", "F#m        A(V)"),
            ("p", "E5(VII)  B7(3)  C(stop)"),
        ],
        "expected": [
            "Płynie rzeka",
            "Płynie rzeka tekst    cis Fis cis  A gis",
            "I woda płynie    h C Cis e",
            "Walking Bass",
            "/G#  /A#  /C#",
            "Bm/F# /G  /G#",
            "Emb6  Bmb6  DM7/6  F#9/7",
            "G#m        B(V)",
            "F#5(VII) C#7(3) D(stop)",
        ],
    },
    "tabs": {
        "names": "english",
        "paragraphs": [
            ("h", "Picking"),
            ("p", "Am   C"),
            ("p", "|E A D G B e|"),
            ("p", "E A D G B e"),
            ("p", "e|---3---|"),
            ("p", "B |x 2=4=4=4=2|"),
            ("p", "D:    xx0232      G:    320033"),
        ],
        "expected": [
            "Picking",
            "Bm   D",
            "|E A D G B e|",
            "E A D G B e",
            "e|---3---|",
            "B |x 2=4=4=4=2|",
            "D:    xx0232      G:    320033",
        ],
    },
    # Runs apart: bold chords, their spaces plain, the way word processors split a chord line.
    "columns": {
        "names": "english",
        "paragraphs": [
            ("h", "Runs"),
            ("p", [("Eb", True), ("      ", False), ("Bb", True), ("     ", False), ("Ab", True)]),
            ("p", "Here comes the rain"),
        ],
        "expected": ["Runs", "F       C      A#", "Here comes the rain"],
    },
}


def write_page(path, page):
    document = docx.Document()
    for style, content in page["paragraphs"]:
        if style == "h":
            document.add_heading(content, level=1)
            continue
        paragraph = document.add_paragraph()
        paragraph.paragraph_format.page_break_before = style == "break" or None
        if isinstance(content, str):
            run = paragraph.add_run(content)
            run.bold = style == "b" or None
            if style == "b":
                run.font.size = Pt(16)
        else:
            for text, bold in content:
                paragraph.add_run(text).bold = bold
    document.save(path)


def make(folder):
    folder.mkdir(parents=True, exist_ok=True)
    for name, page in PAGES.items():
        write_page(folder / f"{name}.docx", page)


def check(cli, fixtures, work):
    work.mkdir(parents=True, exist_ok=True)
    failures = []
    for name, page in PAGES.items():
        out = work / f"{name}+2.docx"
        result = subprocess.run(
            [cli, "--steps", "2", "--sharps", "--names", page["names"], "--lang", "en", "-o", str(out),
             str(fixtures / f"{name}.docx")],
            capture_output=True, text=True)
        if result.returncode != 0:
            failures.append(f"{name}: melvane-cli failed: {result.stderr.strip()}")
            continue
        got = [p.text for p in docx.Document(out).paragraphs]
        for i, (have, want) in enumerate(zip(got, page["expected"])):
            if have != want:
                failures.append(f"{name} paragraph {i}: {have!r}, expected {want!r}")
        if len(got) != len(page["expected"]):
            failures.append(f"{name}: {len(got)} paragraphs, expected {len(page['expected'])}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "make":
        make(Path(sys.argv[2]))
    elif len(sys.argv) == 5 and sys.argv[1] == "check":
        sys.exit(check(sys.argv[2], Path(sys.argv[3]), Path(sys.argv[4])))
    else:
        sys.exit(__doc__)
