#!/usr/bin/env python3
"""Compares two builds of chords/ on a generated corpus of song sheets.

Runs `melvane-cli --text` of both builds on every sheet at several steps, with and without
--flats, classic and sheet-aware, with each --names, and compares standard output, standard
error and exit status byte for byte. With --pieces it also builds pieces_driver.cpp against
each build's chords library and compares the pieces path (lines handed over in cut pieces).

usage: sheet_differential.py OLD_SOURCE OLD_BUILD NEW_SOURCE NEW_BUILD [--pieces] [--sheets N]

A build is a CMake binary folder (melvane-cli in it or in its bin/, libmelvane_chords.a
anywhere below it); a source is the checkout it was built from. Exit status 1 on a difference.
"""
import argparse
import itertools
import pathlib
import random
import subprocess
import sys
import tempfile

STEPS = [-5, -1, 0, 1, 2, 7]

ROOTS_ENGLISH = ["C", "C#", "Db", "D", "D#", "Eb", "E", "F", "F#", "Gb", "G", "G#", "Ab", "A",
                 "A#", "Bb", "B", "H"]
ROOTS_GERMAN = ["C", "Cis", "Des", "D", "Dis", "Es", "E", "F", "Fis", "Ges", "G", "Gis", "As",
                "A", "Ais", "B", "H", "His", "Ces", "Cs", "Fs", "Gs", "Ds"]
ROOTS_SIGNS = ["C\u266f", "D\u266d", "F\u266f", "B\u266d", "E\u266d"]
SUFFIXES = ["", "", "", "m", "7", "m7", "maj7", "add9", "sus4", "sus2", "mmaj7", "m7b5", "dim",
            "\u00b0", "\u00f8", "+", "6/9", "7(b9)", "9", "11", "13", "M7", "min", "mi7", "aug",
            "7#9", "7-5", "add11", "6", "5", "7sus4", "(maj7)", "m(add9)"]
DECORATION = [("", ""), ("", ""), ("", ""), ("(", ")"), ("[", "]"), ("|", ""), ("", "."),
              ("", "*"), ("{", "}"), ("", "'"), ("", ","), ("", "!")]
WORDS_ENGLISH = ["the", "river", "runs", "A", "little", "bird", "and", "every", "night", "home",
                 "Amen", "Bach", "Chorus", "Hey", "Eb", "be", "a", "Dad", "add", "Ev'ry",
                 "Gloria", "THE", "END", "[VERSE", "1]", "Am", "E.", "Deed", "Face", "Cab"]
WORDS_GERMAN = ["Am", "Brunnen", "vor", "dem", "Tore", "da", "steht", "ein", "Lindenbaum", "es",
                "ist", "Ros", "entsprungen", "B\u00e4ume", "\u00fcber", "Herz", "Fest", "Gott",
                "Dank", "Es", "As", "H\u00f6he", "Ade", "Abend", "Dach", "Strophe", "\u00df",
                "Gis", "Fis", "des", "Des"]
LABELS = ["Intro:", "Strophe 2:", "Refrain:", "Part A:", "Bridge:", "Chorus:", "Outro:",
          "Verse 1:", "Coda:", "x2", "(2x)", "3\u00d7", "N.C.", "NC", "%", "|:", ":|", "|", "--",
          "1.", "2."]
GAPS = [" ", "  ", "   ", "    ", "      ", "\t", " \t "]


def chord(rng, style):
    roots = {"english": ROOTS_ENGLISH, "german": ROOTS_GERMAN}[style["names"]]
    root = rng.choice(roots + (ROOTS_SIGNS if rng.random() < 0.1 else []))
    if style["lower"] and rng.random() < 0.7:
        root = root[0].lower() + root[1:]
    text = root + rng.choice(SUFFIXES)
    if rng.random() < 0.15:
        bass = rng.choice(roots)
        text += "/" + (bass.lower() if style["lower"] and rng.random() < 0.5 else bass)
    before, after = rng.choice(DECORATION)
    return before + text + after


def chord_line(rng, style):
    parts = []
    if rng.random() < 0.2:
        parts.append(rng.choice(LABELS))
    for _ in range(rng.randint(1, 8)):
        parts.append(chord(rng, style) if rng.random() < 0.85 else rng.choice(LABELS))
    return "".join(p + rng.choice(GAPS) for p in parts).rstrip(" " if rng.random() < 0.5 else "")


def lyric_line(rng, style):
    words = WORDS_GERMAN if style["names"] == "german" else WORDS_ENGLISH
    count = rng.randint(1, 12)
    out = []
    for _ in range(count):
        roll = rng.random()
        out.append(chord(rng, style) if roll < 0.08 else rng.choice(words))
    return " ".join(out)


def tab_line(rng, style):
    return "\t".join(rng.choice([chord_line, lyric_line])(rng, style)
                     for _ in range(rng.randint(2, 4)))


def long_line(rng, style):
    # Beyond the parts and edits kept on the stack: many chords, long tokens, long gaps.
    tokens = []
    for _ in range(rng.randint(30, 120)):
        roll = rng.random()
        if roll < 0.6:
            tokens.append(chord(rng, style))
        elif roll < 0.7:
            tokens.append(chord(rng, style) + ")" * rng.randint(20, 60))
        elif roll < 0.8:
            tokens.append("(" * rng.randint(1, 40) + chord(rng, style))
        else:
            tokens.append(rng.choice(WORDS_ENGLISH + WORDS_GERMAN))
    return "".join(t + " " * rng.randint(1, 12) for t in tokens)


def random_line(rng, _style):
    data = bytes(rng.randrange(256) for _ in range(rng.randint(0, 80)))
    return data.replace(b"\n", b" ").decode("latin-1")


def near_chord_line(rng, _style):
    alphabet = "ABCDEFGHabcdefghmaj7sus24569#b/()|.:-+ \u266f\u266d\u00b0\u00f8is"
    return "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 40)))


KINDS = [(chord_line, 30), (lyric_line, 30), (tab_line, 8), (long_line, 3), (random_line, 3),
         (near_chord_line, 6), (lambda rng, s: "", 5)]


def sheet(rng):
    style = {"names": rng.choice(["english", "german"]), "lower": rng.random() < 0.25}
    lines = []
    kinds, weights = zip(*KINDS)
    for _ in range(rng.randint(1, 60)):
        lines.append(rng.choices(kinds, weights)[0](rng, style))
    ending = rng.choice(["\n", "\n", "\r\n"])
    text = ending.join(lines)
    if rng.random() < 0.7:
        text += ending
    data = text.encode("latin-1") if all(ord(c) < 256 for c in text) and rng.random() < 0.1 \
        else text.encode("utf-8", "surrogatepass")
    if rng.random() < 0.1:
        data = b"\xef\xbb\xbf" + data
    return data


def find(build, name):
    for candidate in [build / name, build / "bin" / name]:
        if candidate.exists():
            return candidate
    found = sorted(build.rglob(name))
    if not found:
        sys.exit(f"no {name} in {build}")
    return found[0]


def build_driver(source, build, work, tag):
    out = work / f"pieces_driver_{tag}"
    library = find(build, "libmelvane_chords.a")
    here = pathlib.Path(__file__).resolve().parent
    subprocess.run(["c++", "-O2", "-std=c++20", "-DPCRE2_CODE_UNIT_WIDTH=16", f"-I{source}",
                    str(here / "pieces_driver.cpp"), str(library), "-lpcre2-16", "-o", str(out)],
                   check=True)
    return out


def run(command, data):
    result = subprocess.run(command, input=data, capture_output=True,
                            env={"LC_ALL": "C", "PATH": "/usr/bin:/bin"})
    return result.returncode, result.stdout, result.stderr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("old_source", type=pathlib.Path)
    parser.add_argument("old_build", type=pathlib.Path)
    parser.add_argument("new_source", type=pathlib.Path)
    parser.add_argument("new_build", type=pathlib.Path)
    parser.add_argument("--sheets", type=int, default=60)
    parser.add_argument("--pieces", action="store_true")
    parser.add_argument("--seed", type=int, default=17)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    corpus = [sheet(rng) for _ in range(args.sheets)]
    examples = args.new_source / "examples" / "lullaby.txt"
    if examples.exists():
        corpus.append(examples.read_bytes())

    old_cli, new_cli = find(args.old_build, "melvane-cli"), find(args.new_build, "melvane-cli")
    runs = differences = changed = 0
    options = list(itertools.product(STEPS, [[], ["--flats"]], [["--classic"], []],
                                     [[], ["--names", "german"], ["--names", "english"]],
                                     [["--lang", "en"], ["--lang", "de"]]))
    for number, data in enumerate(corpus):
        for steps, flats, mode, names, lang in options:
            command = ["--text", "--steps", str(steps)] + flats + mode + names + lang
            runs += 1
            old_result = run([str(old_cli)] + command, data)
            changed += old_result[1] != data
            if old_result != run([str(new_cli)] + command, data):
                differences += 1
                print(f"differs: sheet {number}, {' '.join(command)}")
    print(f"melvane-cli --text: {runs} runs, {differences} differ ({changed} changed the sheet)")

    if args.pieces:
        with tempfile.TemporaryDirectory() as folder:
            work = pathlib.Path(folder)
            old = build_driver(args.old_source, args.old_build, work, "old")
            new = build_driver(args.new_source, args.new_build, work, "new")
            piece_runs = piece_differences = 0
            for number, data in enumerate(corpus):
                for steps, flats, mode, names, lang in options:
                    command = [str(steps), "1" if flats else "0",
                               "classic" if mode else "aware",
                               names[1] if names else "auto", lang[1], str(number)]
                    piece_runs += 1
                    if run([str(old)] + command, data) != run([str(new)] + command, data):
                        piece_differences += 1
                        print(f"pieces differ: sheet {number}, {' '.join(command)}")
            print(f"pieces: {piece_runs} runs, {piece_differences} differ")
            differences += piece_differences
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
