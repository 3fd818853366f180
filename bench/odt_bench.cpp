// A whole songbook through the OpenDocument path, beside a plain unzip + zip of the same
// package (every entry inflated into a folder, then deflated again into a new package: the
// floor of any design that unpacks). The songbook is made here: some hundreds of songs of chord
// lines (tabs, space elements, line breaks), lyrics with spans and tables, plus pictures of
// random bytes that deflate cannot shrink. Two hostile packages beside it: a content.xml that
// inflates past the cap, and a 1.25 GiB picture of zeros that deflates to about a megabyte (past
// the cap too: every copied entry is unpacked to be checked).
//
// Peak memory is measured in a fresh process (this program started again with
// --peak-memory FILE), so that nothing the benchmarks allocated before counts.
// --write-songbook FILE keeps a copy of the songbook.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <zip.h>

#include "bench/zip_floor.h"
#include "odt/odt_document.h"
#include "package/package.h"
#include "package/zip_layout.h"
#include "platform/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace melvane;

constexpr int kSongs = 900;
constexpr int kPictures = 4;
constexpr std::size_t kPictureBytes = 1 << 20;

const char* const kChords[] = {"Am", "C",   "G",     "F", "Em7", "Dsus4", "Hm",     "F#m", "Bbmaj7",
                               "E7", "C/G", "Gadd9", "D", "A",   "Ebm",   "Abmaj7", "C#m7"};
const char* const kWords[] = {
    "the", "river", "runs",   "down",   "to",     "a",    "sea",    "of",    "light",  "and",
    "I",   "will",  "follow", "from",   "dream",  "Herz", "über",   "Bäume", "Ev'ry",  "night",
    "A",   "home",  "again",  "Gloria", "Straße", "müde", "Wellen", "weit",  "singen", "wir"};

std::string Words(std::mt19937& rng, int count) {
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            line += ' ';
        line += kWords[rng() % std::size(kWords)];
    }
    return line;
}

std::string Chord(std::mt19937& rng) {
    return kChords[rng() % std::size(kChords)];
}

std::string ChordLine(std::mt19937& rng) {
    std::string line = "<text:p text:style-name=\"Chords\">";
    const int chords = 3 + static_cast<int>(rng() % 4);
    for (int i = 0; i < chords; ++i) {
        if (i > 0) {
            line += rng() % 2 == 0 ? "<text:tab/>"
                                   : "<text:s text:c=\"" + std::to_string(2 + rng() % 6) + "\"/>";
        }
        line += Chord(rng);
    }
    return line + "</text:p>";
}

std::string LyricLine(std::mt19937& rng) {
    return "<text:p text:style-name=\"Lyrics\">" + Words(rng, 3 + static_cast<int>(rng() % 4)) +
           " <text:span text:style-name=\"T1\">" + Words(rng, 2) + "</text:span> " +
           Words(rng, 2 + static_cast<int>(rng() % 3)) + "</text:p>";
}

std::string Song(std::mt19937& rng, int number) {
    std::string song = "<text:h text:outline-level=\"1\">Song " + std::to_string(number) + ": " +
                       Words(rng, 3) + "</text:h>";
    for (int verse = 0; verse < 6; ++verse) {
        song +=
            "<text:p text:style-name=\"Section\">Verse " + std::to_string(verse + 1) + "</text:p>";
        for (int line = 0; line < 4; ++line) {
            if (line % 2 == 0) {
                song += ChordLine(rng) + LyricLine(rng);
            } else {
                // Chords and words in one paragraph, split by a line break.
                song += "<text:p text:style-name=\"Chords\">" + Chord(rng) + "<text:tab/>" +
                        Chord(rng) + "<text:line-break/>" + Words(rng, 6) + "</text:p>";
            }
        }
    }
    song += "<table:table table:name=\"Refrain" + std::to_string(number) +
            "\"><table:table-column table:number-columns-repeated=\"2\"/>";
    for (int row = 0; row < 4; ++row) {
        song += "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>" +
                Chord(rng) +
                "</text:p></table:table-cell><table:table-cell "
                "office:value-type=\"string\"><text:p>" +
                Words(rng, 7) + "</text:p></table:table-cell></table:table-row>";
    }
    return song + "</table:table>";
}

std::string SongbookContent(int songs = kSongs) {
    std::mt19937 rng(7);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "office:version=\"1.3\"><office:body><office:text>";
    for (int i = 1; i <= songs; ++i) {
        xml += Song(rng, i);
    }
    return xml + "</office:text></office:body></office:document-content>";
}

// An entry's data made on the fly, so that gigabytes never need to be held.
struct Filler {
    std::uint64_t size;
    char byte;
    std::uint64_t position = 0;

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
        auto* filler = static_cast<Filler*>(self);
        switch (command) {
            case ZIP_SOURCE_OPEN:
                filler->position = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                const std::uint64_t count =
                    std::min<std::uint64_t>(length, filler->size - filler->position);
                std::memset(data, filler->byte, static_cast<std::size_t>(count));
                filler->position += count;
                return static_cast<zip_int64_t>(count);
            }
            case ZIP_SOURCE_STAT: {
                auto* stat = static_cast<zip_stat_t*>(data);
                zip_stat_init(stat);
                stat->size = filler->size;
                stat->mtime = 1700000000;
                stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_FREE:
                delete filler;
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                      ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                      ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
            default:
                return 0;
        }
    }
};

struct Part {
    std::string name;
    std::string bytes;
    std::uint64_t fillSize = 0;  // instead of bytes: this many copies of fillByte
    char fillByte = '\0';
};

// Writes a package as an office suite would: mimetype first and stored, the rest deflated.
bool WritePackageFile(const fs::path& path, const std::vector<Part>& parts) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        return false;
    }
    for (const Part& part : parts) {
        zip_source_t* source =
            part.fillSize > 0 ? zip_source_function(archive, &Filler::Callback,
                                                    new Filler{part.fillSize, part.fillByte})
                              : zip_source_buffer(archive, part.bytes.data(), part.bytes.size(), 0);
        const zip_int64_t index =
            zip_file_add(archive, part.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0 ||
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                     part.name == "mimetype" ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     part.fillSize > 0 ? 1 : 0) != 0) {
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

struct Songbook {
    TempFolder folder{"melvane-bench"};
    fs::path document;
    std::size_t contentBytes = 0;
    std::size_t documentBytes = 0;
    // The same with twice the songs, for what each further byte of content costs in memory.
    fs::path doubleDocument;
    std::size_t doubleContentBytes = 0;
};

std::vector<Part> SongbookParts(const std::string& content) {
    std::vector<Part> parts = {
        {"mimetype", "application/vnd.oasis.opendocument.text"},
        {"content.xml", content},
        {"styles.xml", "<?xml version=\"1.0\"?><office:document-styles/>"},
    };
    std::mt19937_64 rng(11);
    for (int i = 0; i < kPictures; ++i) {
        std::string pixels(kPictureBytes, '\0');
        for (std::size_t at = 0; at + 8 <= pixels.size(); at += 8) {
            const std::uint64_t value = rng();
            std::memcpy(pixels.data() + at, &value, 8);
        }
        parts.push_back({"Pictures/picture" + std::to_string(i) + ".png", std::move(pixels)});
    }
    parts.push_back({"META-INF/manifest.xml", "<?xml version=\"1.0\"?><manifest:manifest/>"});
    return parts;
}

Songbook MakeSongbook() {
    Songbook book;
    const std::string content = SongbookContent();
    book.contentBytes = content.size();
    book.document = book.folder.Path() / "songbook.odt";
    if (!WritePackageFile(book.document, SongbookParts(content))) {
        std::fprintf(stderr, "could not build the songbook\n");
        std::exit(1);
    }
    book.documentBytes = fs::file_size(book.document);
    const std::string twice = SongbookContent(2 * kSongs);
    book.doubleContentBytes = twice.size();
    book.doubleDocument = book.folder.Path() / "songbook2.odt";
    if (!WritePackageFile(book.doubleDocument, SongbookParts(twice))) {
        std::exit(1);
    }
    return book;
}

// Made once; its folder goes when the program ends.
const Songbook& TheSongbook() {
    static const Songbook songbook = MakeSongbook();
    return songbook;
}

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

bool TransposeOnce(const fs::path& source, const fs::path& output) {
    TransposeSettings settings;
    settings.steps = 2;
    return TransposeOdtDocument(source, output, Notes(), settings).Succeeded();
}

void SetSizes(benchmark::State& state, const Songbook& book) {
    state.counters["content_MB"] = static_cast<double>(book.contentBytes) / 1e6;
    state.counters["document_MB"] = static_cast<double>(book.documentBytes) / 1e6;
}

void BM_UnpackAndRepack(benchmark::State& state) {
    const Songbook& book = TheSongbook();
    const fs::path output = book.folder.Path() / "container-only.odt";
    for (auto _ : state) {
        if (!bench::UnpackAndRepackOnce(book.document, output))
            state.SkipWithError("repack failed");
    }
    SetSizes(state, book);
}
BENCHMARK(BM_UnpackAndRepack)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_TransposeSongbook(benchmark::State& state) {
    const Songbook& book = TheSongbook();
    const fs::path output = book.folder.Path() / "songbook+2.odt";
    for (auto _ : state) {
        if (!TransposeOnce(book.document, output))
            state.SkipWithError("transposition failed");
    }
    SetSizes(state, book);
}
BENCHMARK(BM_TransposeSongbook)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// Both, alternating in one loop so that both see the same state of the machine. The ratio of
// the fastest runs is the figure to watch (target: at most 0.5, copied entries checked): on a
// shared machine other work only ever adds time, so the minimum is the steadiest estimate; the
// means are shown beside it.
void BM_EndToEndOverContainerOnly(benchmark::State& state) {
    const Songbook& book = TheSongbook();
    const fs::path containerOut = book.folder.Path() / "ratio-container.odt";
    const fs::path documentOut = book.folder.Path() / "ratio-document.odt";
    using Clock = std::chrono::steady_clock;
    using Ms = std::chrono::duration<double, std::milli>;
    Ms containerTotal{};
    Ms endToEndTotal{};
    Ms containerBest = Ms::max();
    Ms endToEndBest = Ms::max();
    for (auto _ : state) {
        const auto start = Clock::now();
        bench::UnpackAndRepackOnce(book.document, containerOut);
        const auto middle = Clock::now();
        TransposeOnce(book.document, documentOut);
        const auto end = Clock::now();
        containerTotal += middle - start;
        endToEndTotal += end - middle;
        containerBest = std::min<Ms>(containerBest, middle - start);
        endToEndBest = std::min<Ms>(endToEndBest, end - middle);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["container_ms"] = containerBest.count();
    state.counters["end_to_end_ms"] = endToEndBest.count();
    state.counters["ratio"] = endToEndBest / containerBest;
    state.counters["mean_ratio"] = endToEndTotal / containerTotal;
    state.counters["mean_container_ms"] = containerTotal.count() / runs;
    state.counters["mean_end_to_end_ms"] = endToEndTotal.count() / runs;
}
BENCHMARK(BM_EndToEndOverContainerOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(8);

// Hostile packages: how long until the answer, and that a refusal writes nothing.
struct Hostile {
    TempFolder folder{"melvane-bench-hostile"};
    fs::path bomb;
    fs::path zeros;
};

const Hostile& TheHostilePackages() {
    static const Hostile hostile = [] {
        Hostile made;
        made.bomb = made.folder.Path() / "bomb.odt";
        made.zeros = made.folder.Path() / "zeros.odt";
        const bool written =
            WritePackageFile(made.bomb, {{"mimetype", "application/vnd.oasis.opendocument.text"},
                                         {"content.xml", "", kMaxEntryBytes + (1 << 20), ' '}}) &&
            WritePackageFile(
                made.zeros,
                {{"mimetype", "application/vnd.oasis.opendocument.text"},
                 {"content.xml", std::string() + "<office:document-content xmlns:office=\"o\" "
                                                 "xmlns:text=\"t\"><text:p>Am C G</text:p>"
                                                 "</office:document-content>"},
                 {"Pictures/zero.png", "", std::uint64_t{5} << 28, '\0'}});
        if (!written) {
            std::fprintf(stderr, "could not build the hostile packages\n");
            std::exit(1);
        }
        return made;
    }();
    return hostile;
}

void BM_BombIsRefused(benchmark::State& state) {
    const Hostile& hostile = TheHostilePackages();
    const fs::path output = hostile.folder.Path() / "bomb+2.odt";
    for (auto _ : state) {
        if (TransposeOnce(hostile.bomb, output) || fs::exists(output))
            state.SkipWithError("the bomb was not refused");
    }
    state.counters["package_MB"] = static_cast<double>(fs::file_size(hostile.bomb)) / 1e6;
    state.counters["folder_entries"] =
        static_cast<double>(std::distance(fs::directory_iterator(hostile.folder.Path()), {}));
}
BENCHMARK(BM_BombIsRefused)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1.25 GiB unpacked is past the entry cap: refused from the directory, before any inflating.
void BM_ZeroPictureIsRefused(benchmark::State& state) {
    const Hostile& hostile = TheHostilePackages();
    const fs::path output = hostile.folder.Path() / "zeros+2.odt";
    for (auto _ : state) {
        if (TransposeOnce(hostile.zeros, output) || fs::exists(output))
            state.SkipWithError("the zero picture was not refused");
    }
    state.counters["package_MB"] = static_cast<double>(fs::file_size(hostile.zeros)) / 1e6;
}
BENCHMARK(BM_ZeroPictureIsRefused)->Unit(benchmark::kMillisecond)->UseRealTime();

// What checking the zero picture would cost were it allowed: its deflate stream unpacked and
// checked as a copied entry is, for comparison with the 3 s such a package may take.
void BM_ZeroPictureVerifiedAnyway(benchmark::State& state) {
    const Hostile& hostile = TheHostilePackages();
    int error = 0;
    zip_t* archive = zip_open(hostile.zeros.c_str(), ZIP_RDONLY, &error);
    const zip_int64_t index = zip_name_locate(archive, "Pictures/zero.png", 0);
    zip_stat_t stat;
    zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat);
    const zip_layout::Entry entry{
        "Pictures/zero.png", 0, stat.comp_method, stat.crc, stat.comp_size, stat.size, 0};
    for (auto _ : state) {
        zip_file_t* file =
            zip_fopen_index(archive, static_cast<zip_uint64_t>(index), ZIP_FL_COMPRESSED);
        const std::string problem = zip_layout::VerifyEntryData(
            [file](void* data, std::size_t size) {
                return static_cast<std::int64_t>(zip_fread(file, data, size));
            },
            entry);
        zip_fclose(file);
        if (!problem.empty())
            state.SkipWithError(problem.c_str());
    }
    zip_discard(archive);
    state.counters["unpacked_GiB"] = static_cast<double>(stat.size) / (1 << 30);
}
BENCHMARK(BM_ZeroPictureVerifiedAnyway)->Unit(benchmark::kMillisecond)->UseRealTime();

// Peak memory of one transposition in a process of its own.
std::size_t StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stoul(line.substr(std::strlen(field)));
        }
    }
    return 0;
}

int MeasurePeak(const char* source) {
    Notes();
    const std::size_t before = StatusKilobytes("VmRSS:");
    const fs::path output = fs::path(source).parent_path() / "peak.odt";
    if (!TransposeOnce(source, output)) {
        return 1;
    }
    std::printf("%zu\n", (StatusKilobytes("VmHWM:") - before) * 1024);
    return 0;
}

std::size_t PeakOf(const fs::path& document) {
    const std::string command =
        fs::read_symlink("/proc/self/exe").string() + " --peak-memory '" + document.string() + "'";
    std::size_t peak = 0;
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr || std::fscanf(child, "%zu", &peak) != 1) {
        peak = 0;
    }
    if (child != nullptr)
        pclose(child);
    return peak;
}

// The target is at most four times the content plus a constant: the slope between the songbook
// and one with twice its songs is that factor, free of the constant.
void BM_PeakMemory(benchmark::State& state) {
    const Songbook& book = TheSongbook();
    std::size_t peak = 0;
    std::size_t doublePeak = 0;
    for (auto _ : state) {
        peak = PeakOf(book.document);
        doublePeak = PeakOf(book.doubleDocument);
        if (peak == 0 || doublePeak == 0) {
            state.SkipWithError("could not measure");
        }
    }
    SetSizes(state, book);
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["double_peak_MB"] = static_cast<double>(doublePeak) / 1e6;
    state.counters["peak_per_content"] =
        static_cast<double>(peak) / static_cast<double>(book.contentBytes);
    state.counters["peak_per_added_content"] =
        (static_cast<double>(doublePeak) - static_cast<double>(peak)) /
        static_cast<double>(book.doubleContentBytes - book.contentBytes);
}
BENCHMARK(BM_PeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory") == 0) {
        return MeasurePeak(argv[2]);
    }
    // The songbook itself, for trying it by hand.
    if (argc == 3 && std::strcmp(argv[1], "--write-songbook") == 0) {
        std::error_code error;
        fs::copy_file(TheSongbook().document, argv[2], fs::copy_options::overwrite_existing, error);
        return error ? 1 : 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
