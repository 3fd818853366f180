#!/usr/bin/env bash
# melvane-cli on a 5 MB ChordPro songbook as a whole process: the document path (file to file,
# written atomically) and --text, sheet-aware and classic, in UTF-8 and UTF-16 LE; CPU and wall
# time per run (the median of RUNS) and the throughput both give. The songbook is generated
# here: songs of directives, a comment, a chord definition and verses of lyrics with [chords]
# inside and between words.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${CLI:-build/linux/bin/melvane-cli}")
runs=${RUNS:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import random, sys
random.seed(21)
chords = ["C", "G", "Am", "F", "Dm", "E7", "G/B", "Bb", "C#m", "Ebmaj7", "F#m7", "Dsus4",
          "Aadd9", "Em", "N.C."]
words = ("über den wolken muss die freiheit wohl grenzenlos sein alle ängste alle sorgen "
         "sagt man blieben darunter verborgen und dann").split()
songs, size, number = [], 0, 0
while size < 5 * 1024 * 1024:
    number += 1
    lines = [f"{{title: Lied {number}}}", "{artist: Niemand}",
             f"{{key: {random.choice(chords[:14])}}}", "{capo: 2}", "# from the songbook",
             "{define: G base-fret 1 frets 3 2 0 0 0 3}", ""]
    for verse in range(4):
        lines.append(f"{{start_of_verse: Verse {verse + 1}}}" if verse < 3 else "{soc}")
        for _ in range(4):
            parts = []
            for _ in range(random.randint(3, 6)):
                word = random.choice(words)
                if random.random() < 0.5:
                    cut = random.randint(0, len(word))
                    word = f"{word[:cut]}[{random.choice(chords)}]{word[cut:]}"
                parts.append(word)
            lines.append(" ".join(parts))
        lines.append("{end_of_verse}" if verse < 3 else "{eoc}")
        lines.append("")
    song = "\n".join(lines) + "\n"
    songs.append(song)
    size += len(song.encode())
text = "".join(songs)
open(f"{sys.argv[1]}/songbook.cho", "wb").write(text.encode())
open(f"{sys.argv[1]}/songbook-utf16.cho", "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY
python3 - "$cli" "$work" "$runs" <<'PY'
import os, resource, statistics, subprocess, sys, time
cli, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
def measure(label, args, source, stdin=False):
    size = os.path.getsize(source)
    cpus, walls = [], []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        with open(source if stdin else os.devnull, "rb") as given:
            subprocess.run([cli] + args, stdin=given, stdout=subprocess.DEVNULL, check=True,
                           cwd=work)
        walls.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    cpu, wall = statistics.median(cpus), statistics.median(walls)
    print(f"{label:34} cpu {cpu * 1000:6.1f} ms {size / cpu / 1e6:6.1f} MB/s   "
          f"wall {wall * 1000:6.1f} ms {size / wall / 1e6:6.1f} MB/s")
for name in ("songbook.cho", "songbook-utf16.cho"):
    source = os.path.join(work, name)
    print(f"{name}: {os.path.getsize(source)} bytes")
    measure("  document, sheet-aware", ["--steps", "2", "-o", "out.cho", name], source)
    measure("  document, classic", ["--classic", "--steps", "2", "-o", "out.cho", name], source)
    measure("  --text, sheet-aware", ["--text", "--steps", "2"], source, stdin=True)
    measure("  --text, classic (streamed)", ["--text", "--classic", "--steps", "2"], source,
            stdin=True)
PY
