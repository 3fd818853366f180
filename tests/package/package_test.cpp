#include "package/package.h"

// Entries name only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/temp_folder.h"
#include "tests/package/zip_builder.h"

namespace melvane {
namespace {

namespace fs = std::filesystem;
using test::ZipEntry;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::size_t CountEntries(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Bytes deflate cannot shrink: they are written as stored blocks inside a deflate stream.
std::string Noise(std::size_t size, unsigned seed = 1) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

std::vector<ZipEntry> Song() {
    return {
        {.name = "mimetype",
         .data = "application/vnd.oasis.opendocument.text",
         .method = 0,
         .extra = std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9)},
        {.name = "content.xml",
         .data = "<office:document-content>C G Am</office:document-content>"},
        {.name = "Pictures/", .data = "", .method = 0, .externalAttributes = 0x41ED0010},
        {.name = "Pictures/zero.png",
         .data = std::string(100000, '\0'),
         .externalAttributes = 0x81A40000},
        {.name = "Bilder/B\xC3\xA4r.png", .data = "UTF-8 name", .flags = 0x800},
        {.name = "Bilder/\x81"
                 "ber.png",
         .data = "old tools' name",
         .method = 0},
        {.name = "styles.xml", .data = "<office:document-styles/>"},
        {.name = "Configurations2/toolbar/",
         .method = 0,
         .dosTime = 0x1111,
         .externalAttributes = 0x41ED0010},
        {.name = "Thumbnails/thumbnail.png", .data = Noise(3000), .dataDescriptor = true},
        {.name = "META-INF/manifest.xml", .data = "<manifest/>", .dosTime = 0x1234},
    };
}

class PackageTest : public ::testing::Test {
  protected:
    fs::path Write(const std::vector<ZipEntry>& entries, const char* name = "in.zip",
                   const test::ZipEnd& end = {}) {
        const fs::path path = folder_.Path() / name;
        test::WriteZip(path, entries, end);
        return path;
    }
    TempFolder folder_{"package-test"};
};

TEST_F(PackageTest, HostileOrBrokenPackagesAreRefusedAtOpening) {
    const auto with = [](std::vector<ZipEntry> extra) {
        std::vector<ZipEntry> entries = Song();
        entries.insert(entries.end(), extra.begin(), extra.end());
        return entries;
    };
    std::vector<ZipEntry> many;
    for (int i = 0; i <= 100000; ++i) {
        many.push_back({.name = std::to_string(i), .method = 0});
    }
    std::vector<ZipEntry> many64(many.begin(), many.begin() + 70000);
    many64.push_back({.name = std::string("x\0y", 3), .method = 0});
    const struct {
        const char* what;
        std::vector<ZipEntry> entries;
        PackageError expected;
    } cases[] = {
        {"duplicate", with({{.name = "content.xml"}}), PackageError::BadEntryName},
        {"double slash alias", with({{.name = "Pictures//zero.png"}}), PackageError::BadEntryName},
        {"dot alias", with({{.name = "./content.xml"}}), PackageError::BadEntryName},
        {"folder twice", with({{.name = "Pictures//"}}), PackageError::BadEntryName},
        {"file and folder", with({{.name = "content.xml/x"}}), PackageError::BadEntryName},
        {"folder and file", with({{.name = "Pictures"}}), PackageError::BadEntryName},
        {"absolute", with({{.name = "/etc/passwd"}}), PackageError::BadEntryName},
        {"parent", with({{.name = "a/../../x"}}), PackageError::BadEntryName},
        {"backslash", with({{.name = "a\\b"}}), PackageError::BadEntryName},
        {"drive", with({{.name = "C:/x"}}), PackageError::BadEntryName},
        {"drive inside", with({{.name = "x/Z:victim.txt"}}), PackageError::BadEntryName},
        {"only dots", with({{.name = "./"}}), PackageError::BadEntryName},
        {"NUL", with({{.name = std::string("a\0.png", 5)}}), PackageError::BadEntryName},
        {"NUL in a zip64 directory", many64, PackageError::BadEntryName},
        {"encrypted", with({{.name = "secret", .data = "x", .flags = 1}}),
         PackageError::EntryEncrypted},
        {"too many entries", many, PackageError::TooManyEntries},
        {"not a zip", {}, PackageError::NotOpened},
    };
    for (const auto& c : cases) {
        const fs::path path = Write(c.entries);
        if (c.entries.empty()) {
            std::ofstream(path, std::ios::binary) << "PK but not really";
        }
        const OpenedPackage opened = OpenPackage(path);
        EXPECT_EQ(opened.status.error, c.expected) << c.what;
        EXPECT_FALSE(opened.reader) << c.what;
    }
    EXPECT_FALSE(OpenPackage(folder_.Path() / "missing.odt").status.Ok());
    EXPECT_EQ(OpenPackage(folder_.Path()).status.error, PackageError::NotOpened);
}

TEST_F(PackageTest, ReadingAnEntryChecksMethodSizeAndChecksum) {
    const std::string big(1 << 20, 'x');
    const fs::path path = Write({
        {.name = "good", .data = big},
        {.name = "bzip2", .data = "x", .method = 12},
        {.name = "bomb", .data = big, .declaredSize = 1000},
        {.name = "short", .data = "abc", .declaredSize = 5},
        {.name = "crc", .data = "abc", .crc = 7},
    });
    const OpenedPackage opened = OpenPackage(path);
    ASSERT_TRUE(opened.status.Ok()) << opened.status.reason;
    const PackageReader& reader = *opened.reader;
    std::string bytes;
    EXPECT_TRUE(reader.ReadEntry("good", bytes).Ok());
    EXPECT_EQ(bytes, big);
    const struct {
        const char* name;
        std::uint64_t cap;
        PackageError expected;
    } cases[] = {
        {"good", (1 << 20) - 1, PackageError::EntryTooLarge},
        {"bzip2", kMaxEntryBytes, PackageError::UnsupportedMethod},
        {"bomb", kMaxEntryBytes, PackageError::EntryDamaged},
        {"short", kMaxEntryBytes, PackageError::EntryDamaged},
        {"crc", kMaxEntryBytes, PackageError::EntryDamaged},
        {"absent", kMaxEntryBytes, PackageError::EntryMissing},
    };
    for (const auto& c : cases) {
        const PackageStatus status = reader.ReadEntry(c.name, bytes, c.cap);
        EXPECT_EQ(status.error, c.expected) << c.name;
        EXPECT_TRUE(bytes.empty()) << c.name;
        if (c.expected == PackageError::EntryDamaged) {
            EXPECT_FALSE(status.reason.empty()) << c.name;
        }
    }
}

// What `unzip -lv` shows of each entry, as libzip reads it back.
struct Listed {
    std::string name;
    std::uint64_t compressedSize;
    std::uint32_t crc;
    std::uint16_t method;
    time_t mtime;
    zip_uint32_t attributes;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> List(const fs::path& path) {
    int error = 0;
    zip_t* archive = zip_open(path.string().c_str(), ZIP_RDONLY, &error);
    std::vector<Listed> listed;
    if (archive == nullptr) {
        return listed;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &stat);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(archive, static_cast<zip_uint64_t>(i), 0, &system,
                                         &attributes);
        listed.push_back({stat.name, stat.comp_size, stat.crc,
                          static_cast<std::uint16_t>(stat.comp_method), stat.mtime, attributes});
    }
    zip_discard(archive);
    return listed;
}

TEST_F(PackageTest, UntouchedEntriesAreCopiedRawAndTheReplacedOneDeflatedAnew) {
    const fs::path source = Write(Song());
    const fs::path output = folder_.Path() / "out.odt";
    OpenedPackage opened = OpenPackage(source);
    ASSERT_TRUE(opened.status.Ok()) << opened.status.reason;
    const std::string moved = "<office:document-content>D A Hm</office:document-content>";
    const PackageStatus written = WritePackage(*opened.reader, output, {{"content.xml", moved}});
    ASSERT_TRUE(written.Ok()) << written.reason;

    const std::vector<Listed> before = List(source);
    const std::vector<Listed> after = List(output);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].name == "content.xml") {
            EXPECT_EQ(after[i].method, ZIP_CM_DEFLATE);
            EXPECT_EQ(after[i].mtime, before[i].mtime);
        } else {
            EXPECT_EQ(after[i], before[i]) << before[i].name;
        }
    }
    OpenedPackage reopened = OpenPackage(output);
    ASSERT_TRUE(reopened.status.Ok()) << reopened.status.reason;
    std::string bytes;
    EXPECT_TRUE(reopened.reader->ReadEntry("content.xml", bytes).Ok());
    EXPECT_EQ(bytes, moved);

    // Names as stored, and whether they say they are UTF-8 as they said it.
    const auto flags = test::CentralNamesAndFlags(ReadFile(output));
    const auto originalFlags = test::CentralNamesAndFlags(ReadFile(source));
    ASSERT_EQ(flags.size(), originalFlags.size());
    for (std::size_t i = 0; i < flags.size(); ++i) {
        EXPECT_EQ(flags[i].first, originalFlags[i].first);
        const bool ascii = std::all_of(flags[i].first.begin(), flags[i].first.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii) {  // for plain ASCII the flag says nothing either way
            EXPECT_EQ(flags[i].second & 0x800, originalFlags[i].second & 0x800) << flags[i].first;
        }
    }

    // The mimetype entry leads, stored, with neither extra field nor data descriptor.
    const std::string head = ReadFile(output).substr(0, 38);
    EXPECT_EQ(head.substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(head[6] & 0x08, 0);                         // no data descriptor
    EXPECT_EQ(head.substr(8, 2), std::string(2, '\0'));   // stored
    EXPECT_EQ(head.substr(28, 2), std::string(2, '\0'));  // no extra field
    EXPECT_EQ(head.substr(30, 8), "mimetype");
    EXPECT_EQ(CountEntries(folder_.Path()), 2u);
}

// Each kind of damage or ambiguity in a copied entry, in a package that is otherwise the song:
// refused when opened or when written, naming the entry, and nothing is created.
TEST_F(PackageTest, DamagedOrAmbiguousPackagesAreNeverCopied) {
    const auto song = [](const std::function<void(ZipEntry&)>& change) {
        std::vector<ZipEntry> entries = Song();
        entries.push_back({.name = "Pictures/c.bin", .data = Noise(5000) + std::string(5000, 'c')});
        entries.push_back({.name = "Pictures/d.bin", .data = "after c"});
        change(entries[entries.size() - 2]);
        return entries;
    };
    const std::string zip = test::BuildZip(song([](ZipEntry&) {}));
    std::string fakeEnd = zip.substr(zip.size() - 22);
    fakeEnd[16] = static_cast<char>(fakeEnd[16] + 1);  // names a directory one byte later
    const std::string deflated = test::DeflateRaw(Noise(5000) + std::string(5000, 'c'));
    const struct {
        const char* what;
        std::vector<ZipEntry> entries;
        test::ZipEnd end;
        PackageError expected;
        bool namesTheEntry;
    } cases[] = {
        {"wrong checksum",
         song([](ZipEntry& e) { e.crc = 7; }),
         {},
         PackageError::EntryDamaged,
         true},
        {"size lies",
         song([](ZipEntry& e) { e.declaredSize = 9999; }),
         {},
         PackageError::EntryDamaged,
         true},
        {"bomb",
         song([](ZipEntry& e) {
             e.data = std::string(1 << 22, '\0');
             e.declaredSize = 10;
         }),
         {},
         PackageError::EntryDamaged,
         true},
        {"stream cut short",
         song([&](ZipEntry& e) { e.stored = deflated.substr(0, deflated.size() - 9); }),
         {},
         PackageError::EntryDamaged,
         true},
        {"bytes after the stream",
         song([&](ZipEntry& e) { e.stored = deflated + "xx"; }),
         {},
         PackageError::EntryDamaged,
         true},
        {"stored size lies",
         song([](ZipEntry& e) {
             e.method = 0;
             e.declaredSize = 10001;
         }),
         {},
         PackageError::EntryDamaged,
         true},
        {"method 77",
         song([](ZipEntry& e) { e.method = 77; }),
         {},
         PackageError::UnsupportedMethod,
         true},
        {"zstd",
         song([](ZipEntry& e) { e.method = 93; }),
         {},
         PackageError::UnsupportedMethod,
         true},
        {"beyond the cap",
         song([](ZipEntry& e) { e.declaredSize = static_cast<std::uint32_t>(kMaxEntryBytes + 1); }),
         {},
         PackageError::EntryTooLarge,
         true},
        {"local size",
         song([](ZipEntry& e) { e.localSize = 1; }),
         {},
         PackageError::Ambiguous,
         true},
        {"local name",
         song([](ZipEntry& e) { e.localName = "Pictures/x.bin"; }),
         {},
         PackageError::Ambiguous,
         true},
        {"local method",
         song([](ZipEntry& e) { e.localMethod = 0; }),
         {},
         PackageError::Ambiguous,
         true},
        {"offset", song([](ZipEntry& e) { e.offsetShift = 1; }), {}, PackageError::Ambiguous, true},
        {"runs into the next entry",
         song([&](ZipEntry& e) {
             e.compressedSize = static_cast<std::uint32_t>(deflated.size() + 8);
         }),
         {},
         PackageError::Ambiguous,
         true},
        {"end record in the comment",
         song([](ZipEntry&) {}),
         {.comment = fakeEnd},
         PackageError::Ambiguous,
         false},
        {"end record after the end",
         song([](ZipEntry&) {}),
         {.trailing = fakeEnd},
         PackageError::Ambiguous,
         false},
    };
    for (const auto& c : cases) {
        const fs::path source = Write(c.entries, "damaged.odt", c.end);
        const fs::path output = folder_.Path() / "out.odt";
        OpenedPackage opened = OpenPackage(source);
        PackageStatus status = opened.status;
        if (status.Ok()) {
            status = WritePackage(*opened.reader, output, {{"content.xml", "<x/>"}});
        }
        EXPECT_EQ(status.error, c.expected) << c.what << ": " << status.reason;
        EXPECT_EQ(status.reason.rfind("Pictures/c.bin: ", 0) == 0, c.namesTheEntry)
            << c.what << ": " << status.reason;
        EXPECT_EQ(CountEntries(folder_.Path()), 1u) << c.what;
    }

    // What stays allowed: a comment, bytes after the package, data descriptors, directories.
    for (const test::ZipEnd& end :
         {test::ZipEnd{.comment = "PK made by hand"}, test::ZipEnd{.trailing = "PK\x05 signed"}}) {
        const fs::path source = Write(song([](ZipEntry&) {}), "fine.odt", end);
        OpenedPackage opened = OpenPackage(source);
        ASSERT_TRUE(opened.status.Ok()) << opened.status.reason;
        EXPECT_TRUE(WritePackage(*opened.reader, folder_.Path() / "out.odt", {}).Ok());
    }
}

TEST_F(PackageTest, WhatIsNoZipPackageIsRefusedWhenOpened) {
    for (const std::string& bytes : {std::string(), std::string("Am C G\n"), Noise(4096)}) {
        const fs::path path = folder_.Path() / "e.odt";
        std::ofstream(path, std::ios::binary) << bytes;
        const OpenedPackage opened = OpenPackage(path);
        EXPECT_EQ(opened.status.error, PackageError::NotOpened) << bytes.size();
        EXPECT_FALSE(opened.status.reason.empty());
    }
}

// Any one bit changed in the data of a copied entry, stored or deflated (Huffman codes, stored
// blocks, padding bits), is noticed.
TEST_F(PackageTest, EveryFlippedBitOfACopiedEntryIsRefused) {
    const std::vector<ZipEntry> entries = {
        {.name = "content.xml", .data = "<x/>"},
        {.name = "stored", .data = "Am C G Em", .method = 0},
        {.name = "text", .data = "Am C G Em Am C G Em F G C, the river runs down to the sea"},
        {.name = "noise", .data = Noise(40)},
    };
    const std::string zip = test::BuildZip(entries);
    // Each copied entry's data, found after its local header.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::size_t at = 0;
    for (const ZipEntry& entry : entries) {
        const std::size_t length =
            entry.method == 8 ? test::DeflateRaw(entry.data).size() : entry.data.size();
        at += 30 + entry.name.size();
        if (entry.name != "content.xml") {
            spans.emplace_back(at, length);
        }
        at += length;
    }
    const fs::path source = folder_.Path() / "flipped.odt";
    const fs::path output = folder_.Path() / "out.odt";
    std::size_t flips = 0;
    for (const auto& [start, length] : spans) {
        for (std::size_t bit = 0; bit < length * 8; ++bit) {
            std::string damaged = zip;
            damaged[start + bit / 8] = static_cast<char>(damaged[start + bit / 8] ^ (1 << bit % 8));
            std::ofstream(source, std::ios::binary) << damaged;
            OpenedPackage opened = OpenPackage(source);
            ASSERT_TRUE(opened.status.Ok());
            const PackageStatus status =
                WritePackage(*opened.reader, output, {{"content.xml", "<y/>"}});
            ASSERT_EQ(status.error, PackageError::EntryDamaged) << start << " bit " << bit;
            ++flips;
        }
    }
    EXPECT_FALSE(fs::exists(output));
    EXPECT_GT(flips, 500u);
}

TEST_F(PackageTest, SeveralEntriesCanBeReplacedAndAPackageWithNothingToChangeIsCopied) {
    const fs::path source = Write({{.name = "a", .data = "1"}, {.name = "b", .data = "2"}});
    OpenedPackage opened = OpenPackage(source);
    ASSERT_TRUE(opened.status.Ok());
    const fs::path output = folder_.Path() / "two.zip";
    ASSERT_TRUE(WritePackage(*opened.reader, output, {{"a", "one"}, {"b", "two"}}).Ok());
    OpenedPackage again = OpenPackage(output);
    std::string a;
    std::string b;
    again.reader->ReadEntry("a", a);
    again.reader->ReadEntry("b", b);
    EXPECT_EQ(a + b, "onetwo");
    // The reader is spent once written.
    EXPECT_FALSE(opened.reader->ReadEntry("a", a).Ok());

    OpenedPackage plain = OpenPackage(source);
    const fs::path copy = folder_.Path() / "copy.zip";
    ASSERT_TRUE(WritePackage(*plain.reader, copy, {}).Ok());
    EXPECT_EQ(ReadFile(copy), ReadFile(source));
}

TEST_F(PackageTest, DestinationProblemsAreTheDestinationsAndLeaveNothing) {
    const fs::path source = Write(Song());
    const struct {
        fs::path destination;
        PackageReplacements replacements;
        PackageError expected;
    } cases[] = {
        {folder_.Path() / "missing" / "out.odt", {{"content.xml", "x"}}, PackageError::NotWritten},
        {folder_.Path(), {{"content.xml", "x"}}, PackageError::NotWritten},
        {folder_.Path() / "out.odt", {{"nowhere.xml", "x"}}, PackageError::EntryMissing},
    };
    for (const auto& c : cases) {
        OpenedPackage opened = OpenPackage(source);
        ASSERT_TRUE(opened.status.Ok());
        const PackageStatus status = WritePackage(*opened.reader, c.destination, c.replacements);
        EXPECT_EQ(status.error, c.expected) << c.destination;
        EXPECT_EQ(status.IsDestinationProblem(), c.expected == PackageError::NotWritten);
        EXPECT_EQ(CountEntries(folder_.Path()), 1u) << c.destination;
    }
}

}  // namespace
}  // namespace melvane
