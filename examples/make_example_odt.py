#!/usr/bin/env python3
"""Writes examples/leuchtturm.odt, the song sheet `make demo` transposes.

The song is written for this project. The file is the same byte for byte on every run: fixed
entry order and times, mimetype first and stored. Run it again after changing the song:

    python3 examples/make_example_odt.py
"""
import pathlib
import sys
import zipfile

OUT = pathlib.Path(__file__).with_name("leuchtturm.odt")
FIXED_TIME = (2024, 5, 1, 12, 0, 0)

NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
    "fo": "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0",
    "svg": "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0",
    "meta": "urn:oasis:names:tc:opendocument:xmlns:meta:1.0",
    "dc": "http://purl.org/dc/elements/1.1/",
}


def namespaces(*prefixes):
    return " ".join(f'xmlns:{p}="{NS[p]}"' for p in prefixes)


def tab():
    return "<text:tab/>"


def spaces(count):
    return f'<text:s text:c="{count}"/>' if count > 1 else "<text:s/>"


def line_break():
    return "<text:line-break/>"


def chords(*parts):
    """A chord line: chords separated by tabs, in the monospace paragraph style."""
    return f'<text:p text:style-name="Chords">{tab().join(parts)}</text:p>'


def lyrics(text):
    return f'<text:p text:style-name="Lyrics">{text}</text:p>'


def section(name):
    return f'<text:p text:style-name="Section"><text:span text:style-name="Bold">{name}</text:span></text:p>'


BODY = "".join([
    '<text:h text:style-name="Title" text:outline-level="1">Das Leuchtturmlied</text:h>',
    '<text:p text:style-name="Lyrics"><text:span text:style-name="Italic">'
    "Worte und Weise: Melvane-Beispiel, in a-Moll</text:span></text:p>",
    section("Strophe 1"),
    chords("Am", "F", "C", "G"),
    lyrics("Über die Dünen zieht Nebel herein,"),
    # Spaces as ODF writes them: one space element for a run of blanks.
    f'<text:p text:style-name="Chords">C{spaces(6)}G/H{spaces(5)}Am</text:p>',
    lyrics("Fischer und Kinder, sie warten allein."),
    # Chords and words in one paragraph, split by a line break (Shift+Enter).
    f'<text:p text:style-name="Chords">Dm7{tab()}G7sus4{tab()}G7{line_break()}'
    '<text:span text:style-name="Plain">Möwen rufen über das grüne Gras,</text:span></text:p>',
    f'<text:p text:style-name="Chords">F{spaces(3)}<text:span text:style-name="Bold">E7</text:span>'
    f'{line_break()}<text:span text:style-name="Plain">bis drüben ein Licht erwacht.</text:span></text:p>',
    section("Refrain"),
    '<table:table table:name="Refrain">'
    '<table:table-column table:number-columns-repeated="2"/>',
    *(
        "<table:table-row>"
        f'<table:table-cell office:value-type="string"><text:p text:style-name="Chords">{c}</text:p></table:table-cell>'
        f'<table:table-cell office:value-type="string"><text:p text:style-name="Lyrics">{w}</text:p></table:table-cell>'
        "</table:table-row>"
        for c, w in [
            ("F", "Leuchte, leuchte über das Meer,"),
            ("C/E", "zeig uns den Weg, der Abend ist schwer,"),
            ("Bb", "A light for every boat out there,"),
            (f"Gsus4{spaces(2)}G", "wir kommen heim, ganz gleich woher."),
        ]
    ),
    "</table:table>",
    section("Schluss"),
    chords("Am", "Fmaj7", "E7", "Am"),
    lyrics("Still wird es draußen, die Flut zieht sich fort."),
])

CONTENT = f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-content {namespaces("office", "style", "text", "table", "fo", "svg")} office:version="1.3"><office:font-face-decls><style:font-face style:name="Liberation Mono" svg:font-family="&apos;Liberation Mono&apos;" style:font-family-generic="modern" style:font-pitch="fixed"/><style:font-face style:name="Liberation Serif" svg:font-family="&apos;Liberation Serif&apos;" style:font-family-generic="roman" style:font-pitch="variable"/></office:font-face-decls><office:automatic-styles><style:style style:name="Title" style:family="paragraph"><style:text-properties style:font-name="Liberation Serif" fo:font-size="20pt" fo:font-weight="bold"/></style:style><style:style style:name="Section" style:family="paragraph"><style:paragraph-properties fo:margin-top="0.3cm"/></style:style><style:style style:name="Chords" style:family="paragraph"><style:paragraph-properties><style:tab-stops><style:tab-stop style:position="2cm"/><style:tab-stop style:position="4cm"/><style:tab-stop style:position="6cm"/></style:tab-stops></style:paragraph-properties><style:text-properties style:font-name="Liberation Mono" fo:font-weight="bold" fo:color="#0070c0"/></style:style><style:style style:name="Lyrics" style:family="paragraph"><style:text-properties style:font-name="Liberation Serif" fo:font-size="12pt"/></style:style><style:style style:name="Bold" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style><style:style style:name="Italic" style:family="text"><style:text-properties fo:font-style="italic"/></style:style><style:style style:name="Plain" style:family="text"><style:text-properties style:font-name="Liberation Serif" fo:font-weight="normal" fo:color="#000000"/></style:style></office:automatic-styles><office:body><office:text>{BODY}</office:text></office:body></office:document-content>
"""

STYLES = f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-styles {namespaces("office", "style", "fo")} office:version="1.3"><office:styles><style:default-style style:family="paragraph"><style:text-properties fo:font-size="12pt" fo:language="de" fo:country="DE"/></style:default-style></office:styles></office:document-styles>
"""

META = f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-meta {namespaces("office", "meta", "dc")} office:version="1.3"><office:meta><meta:generator>Melvane example generator</meta:generator><dc:title>Das Leuchtturmlied</dc:title><dc:language>de-DE</dc:language></office:meta></office:document-meta>
"""

MANIFEST = """<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.3">
 <manifest:file-entry manifest:full-path="/" manifest:version="1.3" manifest:media-type="application/vnd.oasis.opendocument.text"/>
 <manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>
 <manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/>
 <manifest:file-entry manifest:full-path="meta.xml" manifest:media-type="text/xml"/>
</manifest:manifest>
"""


def main():
    entries = [
        ("mimetype", "application/vnd.oasis.opendocument.text", zipfile.ZIP_STORED),
        ("content.xml", CONTENT, zipfile.ZIP_DEFLATED),
        ("styles.xml", STYLES, zipfile.ZIP_DEFLATED),
        ("meta.xml", META, zipfile.ZIP_DEFLATED),
        ("META-INF/manifest.xml", MANIFEST, zipfile.ZIP_DEFLATED),
    ]
    with zipfile.ZipFile(OUT, "w") as archive:
        for name, text, method in entries:
            info = zipfile.ZipInfo(name, date_time=FIXED_TIME)
            info.compress_type = method
            info.external_attr = 0o644 << 16
            archive.writestr(info, text.encode("utf-8"))
    print(f"wrote {OUT}", file=sys.stderr)


if __name__ == "__main__":
    main()
