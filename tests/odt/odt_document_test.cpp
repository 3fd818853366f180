// Whole song sheets: built here, transposed through the documents layer (which speaks for the
// .odt path), and read back.
// Entries name only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <gtest/gtest.h>

#include <random>

#include "documents/documents.h"
#include "odt/odt_text.h"
#include "odt_fixture.h"
#include "package/package.h"
#include "platform/file_system.h"
#include "platform/temp_folder.h"
#include "platform/utf.h"
#include "tests/package/zip_builder.h"

namespace melvane {
namespace {

namespace fs = std::filesystem;
using namespace testing_odt;

const std::string kSheet = ContentXml(
    "<text:h text:outline-level=\"1\">Lied vom Fluss</text:h>"
    "<text:p text:style-name=\"Chords\">Am<text:tab/>F<text:tab/>C<text:tab/>G</text:p>"
    "<text:p>Der Fluss ist m\xC3\xBC"
    "de, <text:span text:style-name=\"B\">weit</text:span> "
    "und still</text:p>"
    "<text:p>C<text:s text:c=\"4\"/>G/H<text:line-break/>\xC3\x9C"
    "ber die Br\xC3\xBC"
    "cke</text:p>"
    "<table:table><table:table-row>"
    "<table:table-cell><text:p>Em7</text:p></table:table-cell>"
    "<table:table-cell><text:p>A little bird</text:p></table:table-cell>"
    "</table:table-row></table:table>");

std::vector<std::string> Paragraphs(const fs::path& document) {
    std::vector<std::u16string> paragraphs;
    EXPECT_TRUE(ReadOdtParagraphs(document, paragraphs)) << document;
    std::vector<std::string> utf8;
    for (const auto& paragraph : paragraphs)
        utf8.push_back(Utf16ToUtf8(paragraph));
    return utf8;
}

std::size_t HiddenFolders(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        count += entry.path().filename().string().rfind(".hiddenDir", 0) == 0 ? 1 : 0;
    }
    return count;
}

class OdtDocumentTest : public testing::Test {
  protected:
    fs::path Sheet(const std::string& content = kSheet, const std::string& name = "Lied.odt") {
        const fs::path path = files_.Path() / name;
        WriteZip(path, SongSheet(content));
        return path;
    }

    DocumentResult Transpose(const fs::path& source, const fs::path& output, std::int64_t steps = 2,
                             Language language = Language::English,
                             Recognition recognition = Recognition::Classic) {
        DocumentJob job{source, output, ClassicSettings(steps, 0), language};
        job.settings.recognition = recognition;
        return TransposeDocument(job, {Notes(), messages_, shell_});
    }

    std::string OnlyMessage() {
        EXPECT_EQ(messages_.shown.size(), 1u);
        return messages_.shown.empty() ? "" : Utf16ToUtf8(messages_.shown[0].text);
    }

    // The message's first line as given, and the library's or system's reason on a second.
    void ExpectMessageWithReason(const std::string& first) {
        const std::string text = OnlyMessage();
        EXPECT_EQ(text.substr(0, first.size() + 1), first + "\r") << text;
        EXPECT_GT(text.size(), first.size() + 1) << text;
    }

    void ExpectNothingWritten(const fs::path& output) {
        EXPECT_FALSE(fs::exists(output));
        EXPECT_TRUE(shell_.documents.empty());
    }

    TempFolder files_{"odt-document-test"};
    TempFolder temporary_{"odt-temporary"};
    ScopedTemporaryDirectory useTemporary_{temporary_.Path()};
    RecordingUserMessages messages_;
    RecordingShell shell_;
};

TEST_F(OdtDocumentTest, SongSheetIsTransposedEndToEndAndOpened) {
    const fs::path source = Sheet();
    const std::string sourceBytes = ReadFile(source);
    const fs::path output = files_.Path() / "Lied+2.odt";
    const DocumentResult result = Transpose(source, output);

    EXPECT_TRUE(result.Succeeded());
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(result.hadText);
    EXPECT_EQ(result.changed, 7u);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(shell_.documents, std::vector<fs::path>{output});
    EXPECT_EQ(ReadFile(source), sourceBytes);

    EXPECT_EQ(Paragraphs(output), (std::vector<std::string>{"Lied vom Fluss", "Hm\tG\tD\tA",
                                                            "Der Fluss ist m\xC3\xBC"
                                                            "de, weit und still",
                                                            "D    A/C#\n\xC3\x9C"
                                                            "ber die Br\xC3\xBC"
                                                            "cke",
                                                            "F#m7", "A little bird"}));
    const auto packed = ReadZip(output);
    const auto original = ReadZip(source);
    ASSERT_EQ(packed.size(), original.size());  // every entry, folders too, in its place
    for (std::size_t i = 0; i < packed.size(); ++i) {
        EXPECT_EQ(packed[i].name, original[i].name);
    }
    EXPECT_EQ(packed[0].name, "mimetype");
    EXPECT_EQ(packed[0].method, 0);
    EXPECT_EQ(packed[0].localHeaderOffset, 0u);
    for (const char* same :
         {"mimetype", "styles.xml", "Pictures/cover.png", "META-INF/manifest.xml"}) {
        EXPECT_EQ(EntryData(packed, same), EntryData(original, same)) << same;
    }
    EXPECT_EQ(HiddenFolders(temporary_.Path()), 0u);
}

TEST_F(OdtDocumentTest, TransposingBackGivesTheSameText) {
    const fs::path up = files_.Path() / "up.odt";
    const fs::path down = files_.Path() / "down.odt";
    ASSERT_TRUE(Transpose(Sheet(), up, 3).Succeeded());
    ASSERT_TRUE(Transpose(up, down, -3).Succeeded());
    EXPECT_EQ(EntryData(ReadZip(down), "content.xml"), kSheet);
}

TEST_F(OdtDocumentTest, UnreadableSourceIsReportedAndNothingIsWritten) {
    const fs::path notZip = files_.Path() / "notes.odt";
    WriteFile(notZip, "Am G C");
    const std::string whole = ReadFile(Sheet(ContentXml(std::string(300000, 'x'))));
    const fs::path truncated = files_.Path() / "cut.odt";
    WriteFile(truncated, whole.substr(0, whole.size() * 2 / 3));
    for (const fs::path& source : {notZip, truncated, files_.Path() / "missing.odt"}) {
        messages_.shown.clear();
        const fs::path output = files_.Path() / "out.odt";
        const DocumentResult result = Transpose(source, output);
        EXPECT_EQ(result.failure, DocumentFailure::SourceUnreadable) << source;
        EXPECT_FALSE(result.Succeeded());
        ExpectMessageWithReason("The source file [" + source.string() + "] could not be read!");
        EXPECT_TRUE(messages_.shown[0].title == u"Error");
        EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Error);
        ExpectNothingWritten(output);
    }
    EXPECT_EQ(HiddenFolders(temporary_.Path()), 0u);
}

TEST_F(OdtDocumentTest, MessagesSpeakGerman) {
    const fs::path notZip = files_.Path() / "notes.odt";
    WriteFile(notZip, "Am G C");
    Transpose(notZip, files_.Path() / "out.odt", 2, Language::German);
    ExpectMessageWithReason("Die Quelldatei [" + notZip.string() +
                            "] konnte nicht gelesen werden!");
    EXPECT_TRUE(messages_.shown[0].title == u"Fehler");

    messages_.shown.clear();
    Transpose(Sheet(), "", 2, Language::German);
    ExpectMessageWithReason("Die Zieldatei [] konnte nicht erstellt werden!");

    messages_.shown.clear();
    const fs::path sheet = Sheet();
    Transpose(sheet, sheet, 2, Language::German);
    EXPECT_EQ(OnlyMessage(), "Die Zieldatei [" + Utf16ToUtf8(PathToText(sheet)) +
                                 "] muss sich von der Quelldatei unterscheiden!");
}

TEST_F(OdtDocumentTest, UnsafeEntryNameRefusesTheDocument) {
    const fs::path source = files_.Path() / "evil.odt";
    std::vector<ZipItem> items = SongSheet(kSheet);
    items.push_back({"../../escaped.txt", "gotcha"});
    WriteZip(source, items);
    const fs::path output = files_.Path() / "out.odt";
    const DocumentResult result = Transpose(source, output);
    EXPECT_EQ(result.failure, DocumentFailure::SourceUnreadable);
    ExpectMessageWithReason("The source file [" + source.string() + "] could not be read!");
    ExpectNothingWritten(output);
    EXPECT_FALSE(fs::exists(temporary_.Path().parent_path() / "escaped.txt"));
    EXPECT_FALSE(fs::exists(temporary_.Path() / "escaped.txt"));
    EXPECT_EQ(HiddenFolders(temporary_.Path()), 0u);
}

TEST_F(OdtDocumentTest, ContentBeyondTheCapIsRefused) {
    const fs::path source = files_.Path() / "bomb.odt";
    test::WriteZip(source, {{.name = "content.xml",
                             .data = ContentXml(""),
                             .declaredSize = static_cast<std::uint32_t>(kMaxEntryBytes + 1)}});
    const fs::path output = files_.Path() / "out.odt";
    EXPECT_EQ(Transpose(source, output).failure, DocumentFailure::SourceUnreadable);
    ExpectMessageWithReason("The source file [" + source.string() + "] could not be read!");
    ExpectNothingWritten(output);
    EXPECT_EQ(HiddenFolders(temporary_.Path()), 0u);
}

TEST_F(OdtDocumentTest, OutputThatNamesTheSourceIsRefused) {
    const fs::path source = Sheet();
    const std::string before = ReadFile(source);
    std::vector<fs::path> sameFile = {source, files_.Path() / "." / "Lied.odt"};
#ifdef _WIN32
    // Names differ only in case: the same file on Windows.
    sameFile.push_back(files_.Path() / "LIED.ODT");
#else
    fs::create_symlink(source, files_.Path() / "link.odt");
    sameFile.push_back(files_.Path() / "link.odt");
    fs::create_hard_link(source, files_.Path() / "hard.odt");
    sameFile.push_back(files_.Path() / "hard.odt");
#endif
    for (const fs::path& output : sameFile) {
        messages_.shown.clear();
        EXPECT_EQ(Transpose(source, output).failure, DocumentFailure::SameFile) << output;
        EXPECT_EQ(OnlyMessage(), "The destination file [" + Utf16ToUtf8(PathToText(output)) +
                                     "] must differ from the source file!");
        EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(ReadFile(source), before);
        EXPECT_TRUE(shell_.documents.empty());
    }
}

TEST_F(OdtDocumentTest, EmptyOutputPathGivesTheDestinationMessage) {
    const DocumentResult result = Transpose(Sheet(), fs::path());
    EXPECT_EQ(result.failure, DocumentFailure::OutputNotWritten);
    ExpectMessageWithReason("The destination file [] could not be created!");
    EXPECT_TRUE(shell_.documents.empty());
    EXPECT_EQ(HiddenFolders(temporary_.Path()), 0u);
}

TEST_F(OdtDocumentTest, FailedOutputLeavesAnExistingFileAndNoPartialOne) {
    const fs::path source = Sheet();
    // A folder where the file should go: everything is packed, the last move fails.
    const fs::path blocked = files_.Path() / "blocked.odt";
    fs::create_directory(blocked);
    const auto entriesBefore = std::distance(fs::directory_iterator(files_.Path()), {});
    EXPECT_EQ(Transpose(source, blocked).failure, DocumentFailure::OutputNotWritten);
    ExpectMessageWithReason("The destination file [" + blocked.string() +
                            "] could not be created!");
    EXPECT_EQ(std::distance(fs::directory_iterator(files_.Path()), {}), entriesBefore);
    EXPECT_TRUE(fs::is_directory(blocked));
    EXPECT_TRUE(shell_.documents.empty());

    messages_.shown.clear();
    const fs::path nowhere = files_.Path() / "no-such-folder" / "out.odt";
    EXPECT_EQ(Transpose(source, nowhere).failure, DocumentFailure::OutputNotWritten);
    ExpectMessageWithReason("The destination file [" + nowhere.string() +
                            "] could not be created!");
}

TEST_F(OdtDocumentTest, ExistingOutputIsReplacedWhole) {
    const fs::path output = files_.Path() / "Lied+2.odt";
    WriteFile(output, "an older, longer file that must go entirely" + std::string(100000, '.'));
    ASSERT_TRUE(Transpose(Sheet(), output).Succeeded());
    EXPECT_EQ(Paragraphs(output)[1], "Hm\tG\tD\tA");
}

TEST_F(OdtDocumentTest, BrokenContentGivesTheParseMessageAndWritesNothing) {
    const std::string broken = ContentXml("<text:p>Am</text:p>").substr(0, 200) + "<oops";
    const fs::path source = Sheet(broken);
    const fs::path output = files_.Path() / "out.odt";
    const DocumentResult result = Transpose(source, output);
    EXPECT_EQ(result.failure, DocumentFailure::ContentBroken);
    EXPECT_FALSE(result.Succeeded());
    ASSERT_EQ(messages_.shown.size(), 1u);
    const std::string named = "The text of [" + Utf16ToUtf8(PathToText(source)) + "] is broken";
    EXPECT_EQ(Utf16ToUtf8(messages_.shown[0].text).rfind(named, 0), 0u);
    ExpectNothingWritten(output);
    // The German face reads it in German; only the parser's own message stays as it is.
    messages_.shown.clear();
    Transpose(source, output, 2, Language::German);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_NE(Utf16ToUtf8(messages_.shown[0].text).find("ist fehlerhaft"), std::string::npos);
    EXPECT_TRUE(messages_.shown[0].title == u"Fehler");
}

TEST_F(OdtDocumentTest, ContainerWithoutContentIsCopiedSilently) {
    const fs::path source = files_.Path() / "bare.odt";
    WriteZip(source, {{"mimetype", "application/vnd.oasis.opendocument.text", false, true},
                      {"styles.xml", "<s/>"}});
    const fs::path output = files_.Path() / "out.odt";
    const DocumentResult result = Transpose(source, output);
    EXPECT_TRUE(result.Succeeded());
    EXPECT_FALSE(result.hadText);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(EntryData(ReadZip(output), "styles.xml"), "<s/>");
}

TEST_F(OdtDocumentTest, TheCommandLineCanLeaveTheOutputClosed) {
    const fs::path output = files_.Path() / "quiet.odt";
    DocumentJob job{Sheet(), output, ClassicSettings(2, 1)};
    job.openOutput = false;
    EXPECT_TRUE(TransposeDocument(job, {Notes(), messages_, shell_}).Succeeded());
    EXPECT_TRUE(shell_.documents.empty());
    EXPECT_EQ(Paragraphs(output)[1], "Hm\tG\tD\tA");
}

// Damaged copies of a good sheet: each run ends in a whole document or in nothing, never in a
// crash or a part of a file.
TEST_F(OdtDocumentTest, FlippedBytesGiveAWholeDocumentOrNothing) {
    const std::string good = ReadFile(Sheet());
    std::mt19937 rng(2024);
    const fs::path damaged = files_.Path() / "damaged.odt";
    const fs::path output = files_.Path() / "out.odt";
    for (int run = 0; run < 400; ++run) {
        std::string bytes = good;
        for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0; --flips) {
            bytes[rng() % bytes.size()] ^= static_cast<char>(1 + rng() % 255);
        }
        WriteFile(damaged, bytes);
        fs::remove(output);
        messages_.shown.clear();
        const DocumentResult result = Transpose(damaged, output);
        EXPECT_EQ(result.written, fs::exists(output)) << run;
        EXPECT_EQ(result.written, messages_.shown.empty()) << run;
        if (result.written) {
            EXPECT_TRUE(OpenPackage(output).status.Ok()) << run;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(files_.Path()), {}), result.written ? 3 : 2)
            << run;
    }
}

TEST_F(OdtDocumentTest, NoTemporaryFileIsLeftAnywhere) {
    const fs::path output = files_.Path() / "out.odt";
    ASSERT_TRUE(Transpose(Sheet(), output).Succeeded());
    EXPECT_EQ(Paragraphs(output)[1], "Hm\tG\tD\tA");
    EXPECT_TRUE(fs::is_empty(temporary_.Path()));
    EXPECT_EQ(std::distance(fs::directory_iterator(files_.Path()), {}), 2);
}

}  // namespace
}  // namespace melvane
