// Damaged and hostile packages through the whole document path, as .odt and as .docx: one
// message that names the damage, and no output; sound packages keep every entry.
#include <gtest/gtest.h>
#include <zip.h>

#include <fstream>
#include <functional>

#include "documents/documents.h"
#include "package/package.h"
#include "platform/temp_folder.h"
#include "tests/package/zip_builder.h"

// Entries name only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace melvane {
namespace {

namespace fs = std::filesystem;
using test::ZipEntry;

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

std::string Noise(std::size_t size) {
    std::string bytes(size, '\0');
    unsigned seed = 5;
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

// The smallest sheets of both kinds, with folders and a picture to be copied untouched.
std::vector<ZipEntry> Sheet(bool docx) {
    std::vector<ZipEntry> entries;
    if (docx) {
        entries = {
            {.name = "[Content_Types].xml", .data = "<Types/>"},
            {.name = "_rels/.rels",
             .data = "<Relationships><Relationship Id=\"r1\" Type=\"http://schemas."
                     "openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                     "Target=\"word/document.xml\"/></Relationships>"},
            {.name = "word/", .method = 0, .dosTime = 0x2222, .externalAttributes = 0x41ED0010},
            {.name = "word/document.xml",
             .data = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                     "2006/main\"><w:body><w:p><w:r><w:t>Am C G</w:t></w:r></w:p></w:body>"
                     "</w:document>"},
        };
    } else {
        entries = {
            {.name = "mimetype", .data = "application/vnd.oasis.opendocument.text", .method = 0},
            {.name = "content.xml",
             .data = "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:"
                     "xmlns:office:1.0\" xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:"
                     "text:1.0\"><office:body><office:text><text:p>Am C G</text:p></office:text>"
                     "</office:body></office:document-content>"},
            {.name = "Configurations2/toolbar/", .method = 0, .externalAttributes = 0x41ED0010},
        };
    }
    entries.push_back(
        {.name = "Pictures/", .method = 0, .dosTime = 0x1111, .externalAttributes = 0x41ED0010});
    entries.push_back({.name = "Pictures/c.bin", .data = Noise(3000) + std::string(3000, 'c')});
    entries.push_back({.name = "META-INF/manifest.xml", .data = "<manifest/>"});
    return entries;
}

class PackageDocumentsTest : public testing::Test {
  protected:
    DocumentResult Run(const fs::path& source) {
        messages_.shown.clear();
        DocumentJob job;
        job.source = source;
        job.output = Output(source);
        job.settings.steps = 2;
        job.openOutput = false;
        return TransposeDocument(job, {Notes(), messages_, shell_});
    }
    static fs::path Output(const fs::path& source) {
        return source.parent_path() / ("out" + source.extension().string());
    }
    TempFolder folder_{"package-documents"};
    RecordingUserMessages messages_;
    RecordingShell shell_;
};

TEST_F(PackageDocumentsTest, DamagedSourcesGetOneMessageNamingTheDamageAndNoOutput) {
    using Change = std::function<void(std::vector<ZipEntry>&)>;
    const auto picture = [](std::function<void(ZipEntry&)> change) -> Change {
        return [change](std::vector<ZipEntry>& entries) {
            for (ZipEntry& entry : entries) {
                if (entry.name == "Pictures/c.bin") {
                    change(entry);
                }
            }
        };
    };
    const struct {
        const char* what;
        Change change;
        int endRecord;  // 0 none, 1 a second one in the comment, 2 after the end
        bool namesTheEntry;
    } cases[] = {
        {"checksum", picture([](ZipEntry& e) { e.crc = 1; }), 0, true},
        {"local size", picture([](ZipEntry& e) { e.localSize = 5; }), 0, true},
        {"method 77", picture([](ZipEntry& e) { e.method = 77; }), 0, true},
        {"zstd", picture([](ZipEntry& e) { e.method = 93; }), 0, true},
        {"cut short",
         picture([](ZipEntry& e) { e.stored = test::DeflateRaw(e.data).substr(0, 100); }), 0, true},
        {"beyond the cap", picture([](ZipEntry& e) {
             e.declaredSize = static_cast<std::uint32_t>(kMaxEntryBytes) + 1;
         }),
         0, true},
        {"end record in the comment", [](std::vector<ZipEntry>&) {}, 1, false},
        {"end record after the end", [](std::vector<ZipEntry>&) {}, 2, false},
    };
    for (const bool docx : {false, true}) {
        for (const auto& c : cases) {
            std::vector<ZipEntry> entries = Sheet(docx);
            c.change(entries);
            test::ZipEnd end;
            if (c.endRecord != 0) {
                std::string record = test::BuildZip(entries);
                record = record.substr(record.size() - 22);
                record[16] = static_cast<char>(record[16] ^ 4);
                (c.endRecord == 1 ? end.comment : end.trailing) = record;
            }
            const fs::path source = folder_.Path() / (docx ? "Lied.docx" : "Lied.odt");
            test::WriteZip(source, entries, end);
            const DocumentResult result = Run(source);
            const std::string what = std::string(c.what) + (docx ? " (docx)" : " (odt)");
            EXPECT_EQ(result.failure, DocumentFailure::SourceUnreadable) << what;
            ASSERT_EQ(messages_.shown.size(), 1u) << what;
            EXPECT_EQ(messages_.shown[0].text.find(u"Pictures/c.bin: ") != std::u16string::npos,
                      c.namesTheEntry)
                << what;
            EXPECT_FALSE(fs::exists(Output(source))) << what;
        }
    }
    // What is no zip at all, even with a name that says it is.
    for (const std::string& bytes : {std::string(), std::string("Am C G\n"), Noise(5000)}) {
        for (const char* name : {"e.odt", "e.docx"}) {
            const fs::path source = folder_.Path() / name;
            std::ofstream(source, std::ios::binary) << bytes;
            EXPECT_EQ(Run(source).failure, DocumentFailure::SourceUnreadable) << name;
            EXPECT_EQ(messages_.shown.size(), 1u) << name;
            EXPECT_FALSE(fs::exists(Output(source))) << name;
        }
    }
}

// Name, attributes, time and place of every entry that is not transposed, folders included.
std::vector<std::string> Untouched(const fs::path& path) {
    int error = 0;
    zip_t* archive = zip_open(path.string().c_str(), ZIP_RDONLY, &error);
    std::vector<std::string> listed;
    for (zip_int64_t i = 0; archive != nullptr && i < zip_get_num_entries(archive, 0); ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        zip_stat_index(archive, index, 0, &stat);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(archive, index, 0, &system, &attributes);
        const std::string name = stat.name;
        const bool text = name == "content.xml" || name == "word/document.xml";
        listed.push_back(std::to_string(i) + " " + name + " " + std::to_string(attributes) + " " +
                         std::to_string(stat.mtime) + (text ? "" : " " + std::to_string(stat.crc)));
    }
    if (archive != nullptr) {
        zip_discard(archive);
    }
    return listed;
}

TEST_F(PackageDocumentsTest, FoldersAndEveryOtherEntryAreCopiedAsTheyWere) {
    for (const bool docx : {false, true}) {
        const fs::path source = folder_.Path() / (docx ? "Lied.docx" : "Lied.odt");
        test::WriteZip(source, Sheet(docx));
        const DocumentResult result = Run(source);
        ASSERT_TRUE(result.Succeeded()) << docx;
        EXPECT_EQ(result.changed, 1u);
        EXPECT_EQ(Untouched(Output(source)), Untouched(source)) << docx;
    }
}

TEST_F(PackageDocumentsTest, AnOverlongNameGetsAMessageWithItsReason) {
    const fs::path sheet = folder_.Path() / "Lied.odt";
    test::WriteZip(sheet, Sheet(false));
    const fs::path overlong = folder_.Path() / (std::string(100000, 'n') + ".odt");
    for (const auto& [source, output] :
         {std::pair{overlong, folder_.Path() / "out.odt"}, std::pair{sheet, overlong}}) {
        messages_.shown.clear();
        DocumentJob job;
        job.source = source;
        job.output = output;
        job.settings.steps = 2;
        job.openOutput = false;
        const DocumentResult result = TransposeDocument(job, {Notes(), messages_, shell_});
        EXPECT_FALSE(result.written);
        ASSERT_EQ(messages_.shown.size(), 1u);
        const std::u16string& text = messages_.shown[0].text;
        // Something after the name: the system's reason.
        EXPECT_GT(text.size() - text.rfind(u']'), 5u);
    }
}

}  // namespace
}  // namespace melvane
