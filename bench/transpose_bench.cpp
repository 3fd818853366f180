// TransposeText throughput. Bytes counted are characters of text (one byte each for these
// ASCII sheets), so the rates read as MB/s of a plain-text song sheet.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "chords/sheet.h"
#include "chords/transpose.h"

namespace {

const melvane::NoteTable& Table() {
    static const melvane::NoteTable table = melvane::BuildNoteTables();
    return table;
}

const char16_t* const kChords[] = {u"Am",  u"C",      u"G",  u"F",   u"Em7",   u"Dsus4", u"Hm",
                                   u"F#m", u"Bbmaj7", u"E7", u"C/G", u"Gadd9", u"D",     u"A"};
const char16_t* const kWords[] = {u"the",    u"river", u"runs",  u"down", u"to",    u"a",
                                  u"sea",    u"of",    u"light", u"and",  u"I",     u"will",
                                  u"follow", u"from",  u"dream", u"Herz", u"über",  u"Bäume",
                                  u"Ev'ry",  u"night", u"A",     u"home", u"again", u"Gloria"};

std::u16string LyricLine(std::mt19937& rng) {
    std::u16string line;
    const int words = 5 + static_cast<int>(rng() % 6);
    for (int i = 0; i < words; ++i) {
        line += kWords[rng() % std::size(kWords)];
        line += i + 1 < words ? u" " : u"\r";
    }
    return line;
}

std::u16string ChordLine(std::mt19937& rng) {
    std::u16string line;
    const int chords = 2 + static_cast<int>(rng() % 4);
    for (int i = 0; i < chords; ++i) {
        line += kChords[rng() % std::size(kChords)];
        line += std::u16string(2 + rng() % 8, u' ');
    }
    line.back() = u'\r';
    return line;
}

// A songbook as lines (the pieces a document path hands over): chords over lyrics.
std::vector<std::u16string> MixedSheet(std::size_t bytes) {
    std::mt19937 rng(1);
    std::vector<std::u16string> lines;
    std::size_t total = 0;
    while (total < bytes) {
        lines.push_back(ChordLine(rng));
        lines.push_back(LyricLine(rng));
        total += lines[lines.size() - 2].size() + lines.back().size();
    }
    return lines;
}

std::vector<std::u16string> LyricsOnly(std::size_t bytes) {
    std::mt19937 rng(2);
    std::vector<std::u16string> lines;
    std::size_t total = 0;
    while (total < bytes) {
        lines.push_back(LyricLine(rng));
        total += lines.back().size();
    }
    return lines;
}

void RunLines(benchmark::State& state, const std::vector<std::u16string>& lines) {
    std::size_t bytes = 0;
    for (const auto& line : lines)
        bytes += line.size();
    for (auto _ : state) {
        for (const auto& line : lines) {
            benchmark::DoNotOptimize(melvane::TransposeText(Table(), line, 2, 0));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}

void BM_MixedSheet(benchmark::State& state) {
    static const auto lines = MixedSheet(4 << 20);
    RunLines(state, lines);
}
BENCHMARK(BM_MixedSheet)->Unit(benchmark::kMillisecond);

// Sheet-aware, both passes over the same songbook: every line learned, then every line moved.
void BM_MixedSheetAware(benchmark::State& state) {
    static const auto lines = MixedSheet(4 << 20);
    std::size_t bytes = 0;
    for (const auto& line : lines)
        bytes += line.size();
    melvane::TransposeSettings settings;
    settings.steps = 2;
    settings.germanReader = true;
    for (auto _ : state) {
        melvane::SheetTransposer sheet(Table(), settings);
        for (const auto& line : lines) {
            sheet.Learn(line);
        }
        std::u16string moved;
        for (const auto& line : lines) {
            moved.clear();
            benchmark::DoNotOptimize(sheet.TransposeLineInto(line, moved));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}
BENCHMARK(BM_MixedSheetAware)->Unit(benchmark::kMillisecond);

// The same spelled by key, as the line driver runs it: the song and each line made known, every
// chord spelled from the key found once in pass 1's chords.
void BM_MixedSheetAwareByKey(benchmark::State& state) {
    static const auto lines = MixedSheet(4 << 20);
    std::size_t bytes = 0;
    for (const auto& line : lines)
        bytes += line.size();
    melvane::TransposeSettings settings;
    settings.steps = 2;
    settings.germanReader = true;
    settings.spelling = melvane::kSpellByKey;
    for (auto _ : state) {
        melvane::SheetTransposer sheet(Table(), settings);
        for (const auto& line : lines) {
            sheet.Learn(line);
        }
        sheet.UseSong(0);
        std::u16string moved;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            sheet.UseLine(i);
            moved.clear();
            benchmark::DoNotOptimize(sheet.TransposeLineInto(lines[i], moved));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}
BENCHMARK(BM_MixedSheetAwareByKey)->Unit(benchmark::kMillisecond);

// Linear in the length of one line: a whole sheet run together as one long line of chords.
void BM_OneLineSheetAware(benchmark::State& state) {
    const auto lines = MixedSheet(static_cast<std::size_t>(state.range(0)));
    std::u16string piece;
    for (const auto& line : lines) {
        piece += line;
        piece.back() = u' ';
    }
    melvane::TransposeSettings settings;
    settings.steps = 2;
    const melvane::SheetTransposer sheet(Table(), settings);
    for (auto _ : state) {
        benchmark::DoNotOptimize(sheet.TransposeLine(piece));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(piece.size() * state.iterations()));
}
BENCHMARK(BM_OneLineSheetAware)->Arg(1 << 20)->Arg(2 << 20)->Unit(benchmark::kMillisecond);

void BM_LyricsOnly(benchmark::State& state) {
    static const auto lines = LyricsOnly(4 << 20);
    RunLines(state, lines);
}
BENCHMARK(BM_LyricsOnly)->Unit(benchmark::kMillisecond);

// The whole sheet as one piece of text: the time must grow linearly with its size.
void BM_OnePiece(benchmark::State& state) {
    const auto lines = MixedSheet(static_cast<std::size_t>(state.range(0)));
    std::u16string piece;
    for (const auto& line : lines)
        piece += line;
    for (auto _ : state) {
        benchmark::DoNotOptimize(melvane::TransposeText(Table(), piece, 2, 0));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(piece.size() * state.iterations()));
}
BENCHMARK(BM_OnePiece)->Arg(1 << 20)->Arg(2 << 20)->Unit(benchmark::kMillisecond);

// Worst case for the article bookkeeping: every line is "A" followed by a word.
void BM_OnePieceOfArticles(benchmark::State& state) {
    std::u16string piece;
    while (piece.size() < static_cast<std::size_t>(state.range(0)))
        piece += u"A C D little ";
    for (auto _ : state) {
        benchmark::DoNotOptimize(melvane::TransposeText(Table(), piece, 2, 0));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(piece.size() * state.iterations()));
}
BENCHMARK(BM_OnePieceOfArticles)->Arg(1 << 20)->Arg(2 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
