// Documents on the command line: output names, summary lines, exit statuses.
#include "cli/document_mode.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <objbase.h>
#endif

#include <fstream>
#include <sstream>

#include "documents/documents.h"
#include "odt/odt_text.h"
#include "odt_fixture.h"
#include "platform/file_system.h"
#include "platform/temp_folder.h"
#include "platform/utf.h"

namespace melvane::cli {
namespace {

namespace fs = std::filesystem;
using namespace melvane::testing_odt;

// .doc documents (and .docx with --word) are handed to Word where there can be one; the test
// prefix has none, so they are reported as not started, with Word's start-up message.
#ifdef _WIN32
const char kSongDocxLine[] = "Song.docx: not transposed: Microsoft Word could not be started\n";
const char kLiedDocLine[] =
    "Lied.doc: nicht transponiert: Microsoft Word konnte nicht gestartet werden\n";
constexpr std::size_t kWordMessages = 1;

bool RealWordPresent() {
    CLSID word{};
    return SUCCEEDED(CLSIDFromProgID(L"Word.application", &word));
}
#else
const char kSongDocxLine[] =
    "Song.docx: Word documents need Microsoft Word on Windows; not transposed\n";
const char kLiedDocLine[] =
    "Lied.doc: Word-Dokumente brauchen Microsoft Word unter Windows; nicht transponiert\n";
constexpr std::size_t kWordMessages = 0;

bool RealWordPresent() {
    return false;
}
#endif

TEST(ProposeOutputPath, FolderNameMarkerAndLowerCaseExtension) {
    struct Case {
        const char* source;
        std::int64_t steps;
        const char* proposal;
    };
    const Case cases[] = {
        {"Songs/Hymn.DOCX", 3, "Songs/Hymn+3.docx"},
        {"Songs/Hymn.DOCX", -2, "Songs/Hymn-2.docx"},
        {"song.docx", 0, "song_.docx"},
        {"song.ODT", 12, "song+12.odt"},
        {"/abs/Lied vom Fluss.odt", -12, "/abs/Lied vom Fluss-12.odt"},
        {"my.song.v2.Odt", 1, "my.song.v2+1.odt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProposeOutputPath(c.source, c.steps), fs::path(c.proposal)) << c.source;
    }
    EXPECT_EQ(ProposeOutputPath(PathFromUtf8("B\xC3\xA4r.odt"), 2),
              PathFromUtf8("B\xC3\xA4r+2.odt"));
    EXPECT_TRUE(LowerCaseExtension("a.OdT") == u"odt");
    EXPECT_TRUE(LowerCaseExtension("noext").empty());
}

class DocumentModeTest : public testing::Test {
  protected:
    void SetUp() override { fs::current_path(files_.Path()); }
    void TearDown() override { fs::current_path(TemporaryDirectory()); }

    int Run(std::vector<std::string> args, Language language = Language::English) {
        const ParsedArguments parsed = ParseArguments(args);
        EXPECT_TRUE(parsed.ok) << parsed.error;
        static const NoteTable notes = BuildNoteTables();
        out_.str("");
        return RunDocumentMode(notes, parsed.options, language, messages_, shell_, out_);
    }

    void Sheet(const std::string& name) {
        WriteZip(files_.Path() / name,
                 SongSheet(ContentXml("<text:p>Am<text:tab/>C</text:p><text:p>A little</text:p>")));
    }

    std::vector<std::string> Paragraphs(const fs::path& path) {
        std::vector<std::u16string> paragraphs;
        EXPECT_TRUE(ReadOdtParagraphs(path, paragraphs));
        std::vector<std::string> utf8;
        for (const auto& p : paragraphs)
            utf8.push_back(Utf16ToUtf8(p));
        return utf8;
    }

    TempFolder files_{"cli-documents"};
    RecordingUserMessages messages_;
    RecordingShell shell_;
    std::ostringstream out_;
};

TEST_F(DocumentModeTest, EachDocumentGoesToItsProposedNameWithOneLine) {
    Sheet("One.odt");
    Sheet("Two.ODT");
    EXPECT_EQ(Run({"--steps", "-2", "--flats", "One.odt", "Two.ODT"}), 0);
    EXPECT_EQ(out_.str(),
              "One.odt -> One-2.odt: 2 text pieces changed\n"
              "Two.ODT -> Two-2.odt: 2 text pieces changed\n");
    EXPECT_EQ(Paragraphs("One-2.odt"), (std::vector<std::string>{"Gm\tBb", "A little"}));
    EXPECT_TRUE(fs::exists("Two-2.odt"));
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_TRUE(shell_.documents.empty());
}

TEST_F(DocumentModeTest, OutputOptionAndOpening) {
    Sheet("Lied.odt");
    EXPECT_EQ(Run({"--steps", "0", "--open", "-o", "respelled.odt", "Lied.odt"}), 0);
    EXPECT_EQ(out_.str(), "Lied.odt -> respelled.odt: 0 text pieces changed, key C → C\n");
    EXPECT_EQ(shell_.documents, std::vector<fs::path>{"respelled.odt"});
    EXPECT_EQ(Run({"--steps", "1", "Lied.odt"}), 0);
    EXPECT_EQ(out_.str(), "Lied.odt -> Lied+1.odt: 2 text pieces changed, key C → Db\n");
}

TEST_F(DocumentModeTest, FailuresAreNamedAndSetTheStatus) {
    if (RealWordPresent()) {
        GTEST_SKIP() << "Word is installed here; it would be asked to open a stray file";
    }
    Sheet("Good.odt");
    std::ofstream("Broken.odt") << "not a zip";
    std::ofstream("Broken.docx") << "x";
    std::ofstream("notes.pdf") << "x";
    EXPECT_EQ(
        Run({"--steps", "2", "Good.odt", "Broken.odt", "Broken.docx", "notes.pdf", "Gone.odt"}), 1);
    EXPECT_EQ(out_.str(),
              "Good.odt -> Good+2.odt: 2 text pieces changed, key C → D\n"
              "Broken.odt: not transposed: not a readable OpenDocument file\n"
              "Broken.docx: not transposed: not a readable Word document\n"
              "notes.pdf: not a song sheet (.odt, .docx, .doc, .txt or ChordPro); not transposed\n"
              "Gone.odt: not transposed: not a readable OpenDocument file\n");
    ASSERT_EQ(messages_.shown.size(), 3u);
    // The first line as ever, and libzip's reason on the second.
    EXPECT_EQ(Utf16ToUtf8(messages_.shown[0].text),
              "The source file [Broken.odt] could not be read!\rNot a zip archive");
    EXPECT_FALSE(fs::exists("Broken+2.odt"));
}

TEST_F(DocumentModeTest, DocxGoesThroughWordOnlyWhenAsked) {
    if (RealWordPresent()) {
        GTEST_SKIP() << "Word is installed here; it would be asked to open a stray file";
    }
    std::ofstream("Song.docx") << "x";
    EXPECT_EQ(Run({"--steps", "2", "--word", "Song.docx"}), 1);
    EXPECT_EQ(out_.str(), kSongDocxLine);
    EXPECT_EQ(messages_.shown.size(), kWordMessages);
    EXPECT_FALSE(fs::exists("Song+2.docx"));
}

TEST_F(DocumentModeTest, GermanLinesAndMessages) {
    if (RealWordPresent()) {
        GTEST_SKIP() << "Word is installed here; it would be asked for a missing file";
    }
    std::ofstream("Kaputt.odt") << "kein zip";
    Sheet("Gut.odt");
    EXPECT_EQ(Run({"--steps", "1", "Kaputt.odt", "Gut.odt", "Lied.doc"}, Language::German), 1);
    EXPECT_EQ(out_.str(),
              std::string("Kaputt.odt: nicht transponiert: keine lesbare OpenDocument-Datei\n"
                          "Gut.odt -> Gut+1.odt: 2 Textstücke geändert, Tonart C-Dur → Des-Dur\n") +
                  kLiedDocLine);
    ASSERT_EQ(messages_.shown.size(), 1u + kWordMessages);
    EXPECT_TRUE(messages_.shown[0].title == u"Fehler");
}

TEST_F(DocumentModeTest, BrokenContentIsAFailureAndWritesNothing) {
    WriteZip(files_.Path() / "Bad.odt", SongSheet("<office:document-content><text:p>"));
    EXPECT_EQ(Run({"--steps", "2", "Bad.odt"}), 1);
    EXPECT_EQ(out_.str(), "Bad.odt: not transposed: content.xml is broken; nothing written\n");
    EXPECT_FALSE(fs::exists("Bad+2.odt"));
}

TEST_F(DocumentModeTest, PrintShowsParagraphsAsPlainText) {
    Sheet("Lied.odt");
    std::ofstream("Broken.odt") << "x";
    Options options;
    options.files = {"Lied.odt"};
    std::ostringstream out, err;
    EXPECT_EQ(RunPrintMode(options, Language::English, out, err), 0);
    EXPECT_EQ(out.str(), "Am\tC\nA little\n");
    options.files = {"Lied.odt", "Broken.odt"};
    out.str("");
    EXPECT_EQ(RunPrintMode(options, Language::English, out, err), 1);
    EXPECT_EQ(out.str(), "== Lied.odt ==\nAm\tC\nA little\n");
    EXPECT_EQ(err.str(), "melvane-cli: Broken.odt: not a readable OpenDocument text\n");
}

TEST_F(DocumentModeTest, TextSheetsAreDocumentsToo) {
    std::ofstream("Lied.txt", std::ios::binary) << "\xEF\xBB\xBF"
                                                   "C   G\r\nA little bird\r\n";
    std::ofstream("Bild.txt", std::ios::binary) << std::string("PNG\0", 4);
    EXPECT_EQ(Run({"--steps", "2", "Lied.txt", "Bild.txt"}, Language::German), 1);
    EXPECT_EQ(out_.str(),
              "Lied.txt -> Lied+2.txt: 1 Textstück geändert, Tonart G-Dur → A-Dur\n"
              "Bild.txt: nicht transponiert: kein Liedblatt in Textform (NUL-Bytes)\n");
    EXPECT_EQ(messages_.shown.size(), 1u);
    EXPECT_FALSE(fs::exists("Bild+2.txt"));

    Options options;
    options.files = {"Lied+2.txt"};
    std::ostringstream out, err;
    EXPECT_EQ(RunPrintMode(options, Language::English, out, err), 0);
    EXPECT_EQ(out.str(), "D   A\nA little bird\n");
    options.files = {"Bild.txt"};
    EXPECT_EQ(RunPrintMode(options, Language::English, out, err), 1);
    EXPECT_EQ(err.str(), "melvane-cli: Bild.txt: not a readable text sheet\n");
}

}  // namespace
}  // namespace melvane::cli
