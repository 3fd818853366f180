#!/usr/bin/python3
"""Transposes .docx sheets with melvane-cli and checks the outputs as other programs see them.

Usage: check_outputs.py MELVANE_CLI FIXTURES_DIR WORK_DIR [EXAMPLES_DIR]

For each sheet: python-docx reads the same paragraphs, runs and run properties as in the source
(only run texts may differ, and some must); every entry whose data did not change is copied raw
(same compressed bytes, method, CRC, time and attributes, same order); a changed part differs
only inside w:t character data (and a new xml:space="preserve"); and LibreOffice, when it is
installed, converts the output to text with as many lines as the source. One sheet comes from
LibreOffice itself (examples/leuchtturm.odt converted to .docx) when it is installed.
"""
import re
import shutil
import struct
import subprocess
import sys
import zipfile
from pathlib import Path

import docx

TEXT_PARTS = re.compile(r"^word/(document|lied|header\d*|footer\d*|footnotes|endnotes)\.xml$")
W_T_CONTENT = re.compile(rb"(<(\w+:)?t(?:\s[^>]*)?>).*?(</\2t>)", re.S)
PRESERVE = re.compile(rb' xml:space="preserve"')

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def raw_entry(path, info):
    """The entry's stored bytes, as they are in the file."""
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
        name_length, extra_length = struct.unpack("<HH", header[26:30])
        f.seek(info.header_offset + 30 + name_length + extra_length)
        return f.read(info.compress_size)


def paragraphs(document):
    """Every paragraph python-docx reaches: body, table cells, headers and footers."""
    found = list(document.paragraphs)
    for table in document.tables:
        for row in table.rows:
            for cell in row.cells:
                found.extend(cell.paragraphs)
    for section in document.sections:
        found.extend(section.header.paragraphs)
        found.extend(section.footer.paragraphs)
    return found


def properties_of(element):
    return b"" if element is None else element.xml.encode()


def run_properties(run):
    return properties_of(run._r.rPr)


def compare_with_python_docx(name, source, output):
    before = paragraphs(docx.Document(source))
    after = paragraphs(docx.Document(output))
    if not check(len(before) == len(after), f"{name}: paragraph count"):
        return
    changed = 0
    for i, (old, new) in enumerate(zip(before, after)):
        check(properties_of(old._p.pPr) == properties_of(new._p.pPr),
              f"{name}: paragraph {i} properties")
        if not check(len(old.runs) == len(new.runs), f"{name}: paragraph {i} runs"):
            continue
        for old_run, new_run in zip(old.runs, new.runs):
            check(run_properties(old_run) == run_properties(new_run),
                  f"{name}: paragraph {i} run properties")
            changed += old_run.text != new_run.text
    check(changed > 0, f"{name}: no run text changed")


def compare_entries(name, source, output):
    with zipfile.ZipFile(source) as old, zipfile.ZipFile(output) as new:
        check([i.filename for i in old.infolist()] == [i.filename for i in new.infolist()],
              f"{name}: entry names or order")
        new_infos = {i.filename: i for i in new.infolist()}
        for info in old.infolist():
            copy = new_infos.get(info.filename)
            if copy is None:
                continue
            old_data, new_data = old.read(info.filename), new.read(info.filename)
            if old_data == new_data:
                check((info.compress_type, info.CRC, info.date_time, info.external_attr,
                       raw_entry(source, info)) ==
                      (copy.compress_type, copy.CRC, copy.date_time, copy.external_attr,
                       raw_entry(output, copy)), f"{name}: {info.filename} not copied raw")
                continue
            if not check(TEXT_PARTS.match(info.filename), f"{name}: {info.filename} changed"):
                continue
            # Outside the character data of w:t elements, every byte is as it was.
            def strip(data):
                return PRESERVE.sub(b"", W_T_CONTENT.sub(rb"\1\3", data))
            check(strip(old_data) == strip(new_data),
                  f"{name}: {info.filename} changed outside w:t")


def libreoffice_lines(paths, work):
    """Each document's lines as LibreOffice reads them (one start for all), None for one it
    cannot open."""
    out = work / "text"
    subprocess.run(["soffice", "--headless", "--convert-to", "txt:Text", "--outdir", str(out)] +
                   [str(p) for p in paths], capture_output=True, timeout=600)
    lines = []
    for path in paths:
        text = out / (path.stem + ".txt")
        lines.append(text.read_text(encoding="utf-8-sig").splitlines() if text.exists() else None)
    return lines


def main():
    cli, fixtures, work = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
    examples = Path(sys.argv[4]) if len(sys.argv) > 4 else None
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    soffice = shutil.which("soffice") is not None

    sheets = [fixtures / n for n in ("sheet.docx", "template.dotx", "macros.docm")]
    if examples is not None:
        sheets.append(examples / "abendlied.docx")
    if soffice and examples is not None:
        converted = subprocess.run(["soffice", "--headless", "--convert-to", "docx", "--outdir",
                                    str(work), str(examples / "leuchtturm.odt")],
                                   capture_output=True, timeout=300)
        if check(converted.returncode == 0, "LibreOffice could not convert leuchtturm.odt"):
            sheets.append(work / "leuchtturm.docx")
    else:
        print("check_outputs: soffice not found; LibreOffice checks skipped")

    written = []
    for source in sheets:
        output = work / (source.stem + "+2" + source.suffix)
        result = subprocess.run([str(cli), "--steps", "2", "-o", str(output), str(source)],
                                capture_output=True, text=True)
        if not check(result.returncode == 0 and output.exists(),
                     f"{source.name}: melvane-cli failed: {result.stdout}{result.stderr}"):
            continue
        compare_with_python_docx(source.name, source, output)
        compare_entries(source.name, source, output)
        written.append((source, output))

    if soffice and written:
        lines = libreoffice_lines([p for pair in written for p in pair], work)
        for i, (source, _) in enumerate(written):
            before, after = lines[2 * i], lines[2 * i + 1]
            check(after is not None, f"{source.name}: LibreOffice could not open the output")
            check(before is None or after is None or len(before) == len(after),
                  f"{source.name}: LibreOffice reads another number of lines")

    for failure in failures:
        print("FAIL:", failure)
    print(f"check_outputs: {len(sheets)} sheets, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
