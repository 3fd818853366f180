#!/usr/bin/python3
"""Writes examples/abendlied.docx, the Word song sheet `make demo` transposes.

Made with python-docx as a word processor user would write it: a bold chord line with one red
chord, chords apart by tabs, Shift+Enter breaks between chords and words, a lyric with an
italic word, a table for the refrain and a chord in the header. The song is written for this
project. The package is the same byte for byte on every run (fixed entry times and document
properties). Run it again after changing the song:

    /usr/bin/python3 examples/make_example_docx.py
"""
import datetime
import io
import pathlib
import zipfile

import docx
from docx.shared import Pt, RGBColor

OUT = pathlib.Path(__file__).with_name("abendlied.docx")
FIXED_TIME = (2024, 5, 1, 12, 0, 0)


def chord_runs(paragraph, *pieces):
    """Chords in a monospace bold face; a piece given as (text, colour) is coloured."""
    for piece in pieces:
        text, colour = piece if isinstance(piece, tuple) else (piece, None)
        run = paragraph.add_run(text)
        run.bold = True
        run.font.name = "Courier New"
        if colour:
            run.font.color.rgb = colour


def sheet():
    document = docx.Document()
    properties = document.core_properties
    properties.author = "Melvane"
    properties.title = "Abendlied am Hafen"
    properties.created = properties.modified = datetime.datetime(2024, 5, 1, 12, 0, 0)
    properties.last_modified_by = "Melvane"
    properties.revision = 1

    document.add_heading("Abendlied am Hafen", level=1)
    credit = document.add_paragraph()
    credit.add_run("Worte und Weise: Melvane-Beispiel, in C-Dur").italic = True

    document.add_paragraph().add_run("Strophe 1").bold = True
    chord_runs(document.add_paragraph(), "C       ", ("Am", RGBColor(0xC0, 0x00, 0x00)),
               "        F       G")
    document.add_paragraph("Die Boote schaukeln still im Licht,")
    chord_runs(document.add_paragraph(), "C\tE7\tAm\tC7")
    document.add_paragraph("der Leuchtturm zählt die Wellen nicht.")

    # Chords and words in one paragraph, split by Shift+Enter.
    mixed = document.add_paragraph()
    chord_runs(mixed, "F    G")
    mixed.runs[-1].add_break()
    mixed.add_run("Ein Lied zieht übers ")
    mixed.add_run("dunkle").italic = True
    mixed.add_run(" Meer,")
    mixed.runs[-1].add_break()
    chord_runs(mixed, "Dm7  G7sus4  C")
    mixed.runs[-1].add_break()
    mixed.add_run("und bringt die Fischer heim.")

    document.add_paragraph().add_run("Refrain").bold = True
    table = document.add_table(rows=3, cols=2)
    for row, (chords, words) in enumerate([
        ("F  G", "Singt, ihr Netze, singt, ihr Taue,"),
        ("Em  Am", "singt vom Morgen, der noch schläft,"),
        ("Dm  G  C", "bis der Tag den Hafen weckt."),
    ]):
        table.cell(row, 0).paragraphs[0].add_run(chords).bold = True
        table.cell(row, 1).text = words

    header = document.sections[0].header.paragraphs[0]
    header.text = "Capo 0 · Tonart C · Schlussakkord C"
    for run in header.runs:
        run.font.size = Pt(9)
    return document


def main():
    buffer = io.BytesIO()
    sheet().save(buffer)
    # Entries again with fixed times, so that the file does not change from run to run.
    with zipfile.ZipFile(buffer) as made, zipfile.ZipFile(OUT, "w") as out:
        for info in made.infolist():
            fixed = zipfile.ZipInfo(info.filename, FIXED_TIME)
            fixed.compress_type = zipfile.ZIP_DEFLATED
            out.writestr(fixed, made.read(info.filename))


if __name__ == "__main__":
    main()
