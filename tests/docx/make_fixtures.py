#!/usr/bin/python3
"""Writes the .docx song sheets the docx tests read, into the folder given as argument.

sheet.docx holds what Word documents do to a chord sheet: tabs, Shift+Enter breaks, chords
split over runs, bold and coloured chords, a table, a text box, header and footer, a footnote,
a comment, tracked changes, a hyperlink, fields, bookmarks and spelling marks. strict.docx is
the same sheet in Strict form (other namespace URIs, another prefix, the main part under
another name), utf16.docx has its main part in UTF-16, template.dotx / macros.docm are
sheet.docx under those extensions, and three more are damaged so that they must be refused.
The song is written for this project.
"""
import re
import shutil
import sys
import zipfile
from pathlib import Path

import docx
from docx.opc.constants import CONTENT_TYPE as CT
from docx.opc.constants import RELATIONSHIP_TYPE as RT
from docx.opc.packuri import PackURI
from docx.opc.part import Part
from docx.oxml import parse_xml
from docx.oxml.ns import nsdecls
from docx.shared import RGBColor

W = nsdecls("w")


def raw_paragraph(document, inner, extra=""):
    """Appends a paragraph written as WordprocessingML."""
    element = parse_xml(f"<w:p {W} {extra}>{inner}</w:p>")
    document.element.body.append(element)
    return element


def runs(paragraph, *pieces, **formatting):
    for text in pieces:
        run = paragraph.add_run(text)
        run.bold = formatting.get("bold")
        run.italic = formatting.get("italic")
        if "color" in formatting:
            run.font.color.rgb = formatting["color"]


def add_part(document, name, content_type, relationship, xml):
    part = Part(PackURI(name), content_type, xml.encode("utf-8"), document.part.package)
    document.part.relate_to(part, relationship)


def write_sheet(path):
    document = docx.Document()
    document.add_heading("Abendwind", level=1)

    intro = document.add_paragraph()
    runs(intro, "Intro: | Am | F | C | G |", bold=True)

    # Chords apart by tabs; "C7" typed as two runs with the same formatting.
    tabbed = document.add_paragraph()
    run = tabbed.add_run("Am")
    run.add_tab()
    tabbed.add_run("F")
    tabbed.add_run("\tC")
    tabbed.add_run("7")
    tabbed.add_run("\tG")

    # Space-aligned chords, one of them red.
    aligned = document.add_paragraph()
    runs(aligned, "C       ", bold=True)
    runs(aligned, "G", bold=True, color=RGBColor(0xC0, 0x00, 0x00))
    runs(aligned, "         Am     F", bold=True)
    document.add_paragraph("Leise zieht der Wind durchs Tal")

    # One chord in two runs, as spell checking leaves it.
    split = document.add_paragraph()
    runs(split, "A", "m", "  D", "m7", "  Gsus4  C")

    # Shift+Enter: one paragraph, three lines.
    broken = document.add_paragraph()
    run = broken.add_run("Em   D")
    run.add_break()
    run = broken.add_run("Trägt das Lied bis an den See")
    run.add_break()
    broken.add_run("C    G")

    lyric = document.add_paragraph()
    runs(lyric, "Am Abend ")
    runs(lyric, "singt", italic=True)
    runs(lyric, " der Wind sein Lied")

    # "Gb" in two runs: +1 leaves the second starting with a blank.
    flat = document.add_paragraph()
    runs(flat, "G", "b Em  Bb7")

    table = document.add_table(rows=2, cols=2)
    table.cell(0, 0).text = "Strophe 1:"
    table.cell(0, 1).text = "C  G  Am  F"
    table.cell(1, 0).text = "Refrain:"
    table.cell(1, 1).text = "F  G  C"

    # A text box (VML) inside a run.
    raw_paragraph(
        document,
        '<w:r><w:pict><v:shape style="width:120pt;height:40pt"><v:textbox><w:txbxContent>'
        "<w:p><w:r><w:t>Capo 2:</w:t></w:r></w:p>"
        '<w:p><w:r><w:t xml:space="preserve">Dm  G7  C</w:t></w:r></w:p>'
        "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>",
        'xmlns:v="urn:schemas-microsoft-com:vml"',
    )

    # Tracked changes: Em deleted, Am inserted; a moved-away chord.
    raw_paragraph(
        document,
        '<w:r><w:t xml:space="preserve">G </w:t></w:r>'
        '<w:del w:id="1" w:author="Melvane" w:date="2024-01-01T00:00:00Z">'
        "<w:r><w:delText>Em</w:delText></w:r></w:del>"
        '<w:ins w:id="2" w:author="Melvane" w:date="2024-01-01T00:00:00Z">'
        "<w:r><w:t>Am</w:t></w:r></w:ins>"
        '<w:moveFrom w:id="3" w:author="Melvane" w:date="2024-01-01T00:00:00Z">'
        '<w:r><w:t xml:space="preserve"> D</w:t></w:r></w:moveFrom>'
        '<w:r><w:t xml:space="preserve"> C</w:t></w:r>',
    )

    # A hyperlink around chords.
    link = document.part.relate_to("https://example.org/abendwind", RT.HYPERLINK, is_external=True)
    raw_paragraph(
        document,
        f'<w:hyperlink r:id="{link}"><w:r><w:t xml:space="preserve">D  A  </w:t></w:r>'
        "<w:r><w:t>Hm</w:t></w:r></w:hyperlink>",
        nsdecls("r"),
    )

    # Fields: a simple one and a complex one whose code names a chord.
    raw_paragraph(
        document,
        '<w:fldSimple w:instr=" QUOTE E "><w:r><w:t>E</w:t></w:r></w:fldSimple>'
        '<w:r><w:t xml:space="preserve">  </w:t></w:r>'
        '<w:r><w:fldChar w:fldCharType="begin"/></w:r>'
        '<w:r><w:instrText xml:space="preserve"> QUOTE "F" </w:instrText></w:r>'
        '<w:r><w:fldChar w:fldCharType="separate"/></w:r>'
        "<w:r><w:t>F</w:t></w:r>"
        '<w:r><w:fldChar w:fldCharType="end"/></w:r>',
    )

    # Spelling mark and bookmark inside one chord; a non-breaking hyphen and a positional tab.
    raw_paragraph(
        document,
        "<w:r><w:t>F</w:t></w:r>"
        '<w:proofErr w:type="spellStart"/><w:bookmarkStart w:id="0" w:name="chord"/>'
        '<w:r><w:rPr><w:b/></w:rPr><w:t>#m</w:t></w:r><w:bookmarkEnd w:id="0"/>'
        '<w:proofErr w:type="spellEnd"/>'
        '<w:r><w:t xml:space="preserve">  D</w:t><w:noBreakHyphen/><w:t>A</w:t>'
        '<w:ptab w:relativeTo="margin" w:alignment="right" w:leader="none"/><w:t>E7</w:t></w:r>',
    )

    # A footnote referring to a chord, and a comment that is not transposed.
    raw_paragraph(
        document,
        '<w:r><w:t xml:space="preserve">Schluss: C </w:t></w:r>'
        '<w:commentRangeStart w:id="0"/><w:r><w:footnoteReference w:id="1"/></w:r>'
        '<w:commentRangeEnd w:id="0"/><w:r><w:commentReference w:id="0"/></w:r>',
    )
    add_part(
        document,
        "/word/footnotes.xml",
        CT.WML_FOOTNOTES,
        RT.FOOTNOTES,
        f'<w:footnotes {W}><w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:separator/>'
        '</w:r></w:p></w:footnote><w:footnote w:type="continuationSeparator" w:id="0"><w:p>'
        '<w:r><w:continuationSeparator/></w:r></w:p></w:footnote><w:footnote w:id="1"><w:p>'
        '<w:r><w:t xml:space="preserve">Oder: Am  F</w:t></w:r></w:p></w:footnote></w:footnotes>',
    )
    add_part(
        document,
        "/word/comments.xml",
        CT.WML_COMMENTS,
        RT.COMMENTS,
        f'<w:comments {W}><w:comment w:id="0" w:author="Melvane"><w:p><w:r>'
        "<w:t>Hier lieber G spielen</w:t></w:r></w:p></w:comment></w:comments>",
    )

    section = document.sections[0]
    section.header.paragraphs[0].text = "Abendwind – Tonart: C"
    header_chords = section.header.add_paragraph()
    runs(header_chords, "Am  F  C", bold=True)
    section.footer.paragraphs[0].text = "Schlussakkord: G"

    document.save(path)


STRICT_NAMES = [
    ("http://schemas.openxmlformats.org/wordprocessingml/2006/main",
     "http://purl.oclc.org/ooxml/wordprocessingml/main"),
    ("http://schemas.openxmlformats.org/officeDocument/2006/relationships",
     "http://purl.oclc.org/ooxml/officeDocument/relationships"),
]


def rewrite(source, path, change):
    """Copies a package entry by entry; change(name, data) gives the new (name, data) or None
    to leave the entry out."""
    with zipfile.ZipFile(source) as old, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as new:
        for info in old.infolist():
            changed = change(info.filename, old.read(info.filename))
            if changed is not None:
                new.writestr(changed[0], changed[1])


def to_strict(name, data):
    """Strict namespaces, the prefix "x" for them, and the main part at word/lied.xml: found
    only by following the relationships."""
    if name.endswith(".xml") or name.endswith(".rels"):
        text = data.decode("utf-8")
        for transitional, strict in STRICT_NAMES:
            text = text.replace(transitional, strict)
        if name.startswith("word/") and not name.endswith(".rels"):
            text = re.sub(r"(</?)w:", r"\1x:", text)
            text = re.sub(r"(\s)w:", r"\1x:", text)
            text = text.replace("xmlns:w=", "xmlns:x=")
        text = text.replace("word/document.xml", "word/lied.xml")
        data = text.encode("utf-8")
    name = {"word/document.xml": "word/lied.xml",
            "word/_rels/document.xml.rels": "word/_rels/lied.xml.rels"}.get(name, name)
    return name, data


def to_utf16(name, data):
    if name == "word/document.xml":
        text = data.decode("utf-8").replace("encoding='UTF-8'", "encoding='UTF-16'")
        data = text.encode("utf-16")
    return name, data


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    sheet = out / "sheet.docx"
    write_sheet(sheet)
    rewrite(sheet, out / "strict.docx", to_strict)
    rewrite(sheet, out / "utf16.docx", to_utf16)
    shutil.copyfile(sheet, out / "template.dotx")
    shutil.copyfile(sheet, out / "macros.docm")
    # Refused: not a zip, no main part, a header that does not parse.
    (out / "not-a-package.docx").write_text("Am  F  C  G\n")
    rewrite(sheet, out / "no-main-part.docx",
            lambda name, data: None if name == "word/document.xml" else (name, data))
    rewrite(sheet, out / "broken-header.docx",
            lambda name, data: (name, data[:-20] if name == "word/header1.xml" else data))


if __name__ == "__main__":
    main()
