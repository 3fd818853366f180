// The Word path end to end, against the Word stand-in registered as "Word.application".
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "chords/note_table.h"
#include "cli/document_mode.h"
#include "cli/options.h"
#include "documents/documents.h"
#include "documents/messages.h"
#include "platform/shell.h"
#include "platform/user_messages.h"
#include "platform/utf.h"
#include "tests/com/server_registration.h"
#include "tests/word/stand_in_client.h"
#include "word/word_document.h"

namespace melvane {
namespace {

using testing::WordStandIn;

std::u16string Utf16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
    return Utf16ToUtf8(Utf16(text));
}

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

class WordPath : public ::testing::Test {
  protected:
    void SetUp() override {
        if (testing::WordIsRegistered() &&
            !testing::ProgIdResolves(testing::kWordProgIdForTests, testing::kWordStandInClsid)) {
            GTEST_SKIP() << "a real Word is registered here; the stand-in stays out of its way";
        }
        std::string why;
        ASSERT_TRUE(standIn_.Install(why)) << why;
        standIn_.Reset();

        std::wstring temp(MAX_PATH + 1, L'\0');
        temp.resize(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()));
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = Utf16(temp) + u"melvane-word-" +
                  FileNameFrom(std::string(test->test_suite_name()) + "-" + test->name()) + u"-" +
                  Utf16(std::to_wstring(GetCurrentProcessId()));
        std::filesystem::remove_all(Path(folder_));
        ASSERT_TRUE(std::filesystem::create_directories(Path(folder_)));
    }

    void TearDown() override {
        // Every object Word handed out has been released, whatever the run's outcome.
        EXPECT_EQ(standIn_.Alive(), 0);
        standIn_.Uninstall();
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(Path(folder_), ignored);
        }
    }

    static std::u16string FileNameFrom(const std::string& name) {
        std::u16string out = Utf8ToUtf16(name);
        std::replace(out.begin(), out.end(), u'/', u'_');
        return out;
    }

    static std::filesystem::path Path(const std::u16string& text) {
        return std::filesystem::path(Wide(text));
    }

    std::u16string InFolder(const std::u16string& name) const { return folder_ + u"\\" + name; }

    // A sheet for the stand-in: UTF-8 lines, one paragraph each.
    std::u16string WriteSheet(const std::u16string& name, const std::string& lines) const {
        const std::u16string path = InFolder(name);
        std::filesystem::create_directories(Path(path).parent_path());
        std::ofstream(Path(path), std::ios::binary) << lines;
        return path;
    }

    static std::string ReadSheet(const std::u16string& path) {
        std::ifstream in(Path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static bool Exists(const std::u16string& path) { return std::filesystem::exists(Path(path)); }

    // Through the documents layer, which speaks for the Word path and opens what it saved.
    DocumentResult Run(const std::u16string& source, const std::u16string& output, int steps,
                       int spelling = 0, Language language = Language::English,
                       bool openOutput = true) {
        DocumentJob job{Path(source), Path(output), ClassicSettings(steps, spelling),
                        language,     openOutput,   /*throughWord=*/true};
        return TransposeDocument(job, {Notes(), messages_, shell_});
    }

    // The Word path alone.
    static WordResult RunWord(const std::u16string& source, const std::u16string& output,
                              const TransposeSettings& settings) {
        return TransposeWordDocument(source, output, Notes(), settings);
    }

    // The stand-in's log lines that start with `prefix`.
    std::vector<std::wstring> CallsStartingWith(const std::wstring& prefix) const {
        std::vector<std::wstring> found;
        for (const std::wstring& call : standIn_.Calls()) {
            if (call.starts_with(prefix)) {
                found.push_back(call);
            }
        }
        return found;
    }

    void ExpectOpenedOnly(const std::u16string& path) const {
        ASSERT_EQ(shell_.documents.size(), 1u);
        EXPECT_EQ(shell_.documents[0], Path(path));
    }

    static inline WordStandIn standIn_;
    std::u16string folder_;
    RecordingUserMessages messages_;
    RecordingShell shell_;
};

// ---------------------------------------------------------------------------------------------
// A sheet transposed end to end.

const char kSheet[] =
    "Amazing Grace\n"
    "C  G  Am  F\n"
    "Ein Lied für Bär\n"
    "H7  E  Bbmaj7  B\n"
    "F#m  C#7  Ebsus4\n";

TEST_F(WordPath, SheetTransposedWithSharpsAndFlats) {
    const struct {
        int steps;
        int spelling;
        const char* expected;
    } cases[] = {
        {2, 0,
         "Amazing Grace\n"
         "D  A  Hm  G\n"
         "Ein Lied für Bär\n"
         "C#7  F#  Cmaj7  C#\n"
         "G#m  D#7  Fsus4\n"},
        {-1, 1,
         "Amazing Grace\n"
         "H  Gb  Abm  E\n"
         "Ein Lied für Bär\n"
         "Bb7  Eb  Amaj7  Bb\n"
         "Fm  C7  Dsus4\n"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.steps);
        standIn_.Reset();
        shell_.documents.clear();
        const std::u16string source = WriteSheet(u"Song.docx", kSheet);
        const std::u16string output = InFolder(u"Song transposed.docx");
        const WordResult result = RunWord(source, output, ClassicSettings(row.steps, row.spelling));

        EXPECT_TRUE(result.saved);
        EXPECT_EQ(result.failure, WordFailure::None);
        EXPECT_EQ(result.outputPath, output);
        EXPECT_EQ(result.paragraphs, 5u);
        EXPECT_EQ(result.changed, 3u);
        EXPECT_EQ(result.failed, 0u);
        EXPECT_EQ(ReadSheet(output), row.expected);
        EXPECT_EQ(ReadSheet(source), kSheet);
    }
}

// Sheet-aware: every paragraph is read before any is written, so the H of one line makes the B
// of the same sheet a B-flat, and columns are kept.
TEST_F(WordPath, SheetAwareLearnsTheWholeDocumentFirst) {
    const std::u16string source = WriteSheet(u"Aware.docx", kSheet);
    const std::u16string output = InFolder(u"Aware+2.docx");
    TransposeSettings transpose;
    transpose.steps = 2;
    const WordResult result = RunWord(source, output, transpose);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.changed, 3u);
    EXPECT_EQ(ReadSheet(output),
              "Amazing Grace\n"
              "D  A  Hm  G\n"
              "Ein Lied für Bär\n"
              "C#7 F# Cmaj7   C\n"
              "G#m  D#7  Fsus4\n");
}

// Classic recognition reads a paragraph line by line, as sheet-aware does: a lone "A" before a
// manual line break is a chord, and the break stays a break (read as one text, the article rule
// once replaced it by a space).
TEST_F(WordPath, ManualLineBreaksStayInBothModes) {
    const std::u16string source = WriteSheet(u"Breaks.docx", "A\vlittle bird\nC\vG\n");
    for (const Recognition recognition : {Recognition::Classic, Recognition::SheetAware}) {
        TransposeSettings settings = ClassicSettings(2, 0);
        settings.recognition = recognition;
        settings.naming = NoteNaming::German;
        const std::u16string output = InFolder(u"Breaks+2.docx");
        ASSERT_TRUE(RunWord(source, output, settings).saved);
        EXPECT_EQ(ReadSheet(output), "H\vlittle bird\nD\vA\n");
    }
}

// The whole conversation with Word for a small sheet, in order.
TEST_F(WordPath, CommandsWordReceives) {
    const std::u16string source = WriteSheet(u"Short.doc", "C\nla la\n");
    const std::u16string output = InFolder(u"Short+1.doc");
    const DocumentResult result = Run(source, output, 1);
    EXPECT_TRUE(result.written);
    const std::vector<std::wstring> expected = {
        L"new Application",
        L"Application.Visible = #true",
        L"Application.DisplayAlerts = #false",
        L"Application.Documents",
        L"Documents.Open('" + Wide(source) + L"')",
        L"Document.Paragraphs",
        L"Paragraphs.Count",
        L"Document.Paragraphs('1')",
        L"Paragraph(1).Range",
        L"Range(1).Text",
        L"Range(1).Text = 'C#\r'",
        L"Document.Paragraphs('2')",
        L"Paragraph(2).Range",
        L"Range(2).Text",
        L"Application.ActiveDocument",
        L"Document.SaveAs('" + Wide(output) + L"', 16:I4)",
        L"Document.Close(0:I4)",
        L"Application.Quit(0:I4)",
    };
    EXPECT_EQ(standIn_.Calls(), expected);
}

// ---------------------------------------------------------------------------------------------
// What is and is not written back.

TEST_F(WordPath, UnchangedParagraphsAreNeverWritten) {
    const std::string lyrics = "Ein Lied für Bär\nAm Abend (Am) singt\nAm, so klingt's\n\n";
    const std::u16string source = WriteSheet(u"Lyrics.docx", lyrics + "G\n");
    const std::u16string output = InFolder(u"Lyrics+5.docx");
    const DocumentResult result = Run(source, output, 5);
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.changed, 1u);
    EXPECT_EQ(CallsStartingWith(L"Range(").size(), 6u);  // five reads, one write
    EXPECT_EQ(CallsStartingWith(L"Range(5).Text = 'C\r'").size(), 1u);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_TRUE(CallsStartingWith(L"Range(" + std::to_wstring(i) + L").Text =").empty()) << i;
    }
    EXPECT_EQ(ReadSheet(output), lyrics + "C\n");
}

TEST_F(WordPath, ZeroParagraphsAreStillSavedAndOpened) {
    const std::u16string source = WriteSheet(u"Empty.docx", "");
    const std::u16string output = InFolder(u"Empty+3.docx");
    const DocumentResult result = Run(source, output, 3);
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(CallsStartingWith(L"Document.Paragraphs(").empty());
    EXPECT_EQ(CallsStartingWith(L"Document.SaveAs(").size(), 1u);
    EXPECT_TRUE(Exists(output));
    EXPECT_EQ(ReadSheet(output), "");
    ExpectOpenedOnly(output);
}

TEST_F(WordPath, EmptyOutputPathGivesNeuBesideTheSource) {
    for (const std::u16string extension : {u"doc", u"docx"}) {
        SCOPED_TRACE(Utf16ToUtf8(extension));
        shell_.documents.clear();
        const std::u16string source = WriteSheet(u"Song." + extension, "C\n");
        const std::u16string expected = InFolder(u"Song_NEU." + extension);
        const DocumentResult result = Run(source, u"", 2);
        EXPECT_TRUE(result.written);
        EXPECT_EQ(result.output, Path(expected));
        EXPECT_EQ(ReadSheet(expected), "D\n");
        EXPECT_EQ(CallsStartingWith(L"Document.SaveAs('" + Wide(expected) + L"', 16:I4)").size(),
                  1u);
        ExpectOpenedOnly(expected);
    }
}

TEST_F(WordPath, ApostrophesAndDollarsInLyricsAndPaths) {
    const std::string sheet =
        "Don't  C  I'm  G\n"
        "Ev'ry $0041 day  Am\n"
        "'Am'  $  $$  Em\n";
    const std::u16string source = WriteSheet(u"Rock 'n' Roll $0041\\It's $5.docx", sheet);
    const std::u16string output = InFolder(u"Rock 'n' Roll $0041\\It's $5 +2.docx");
    const DocumentResult result = Run(source, output, 2);
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.changed, 3u);
    EXPECT_EQ(result.unchangeable, 0u);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(ReadSheet(output),
              "Don't  D  I'm  A\n"
              "Ev'ry $0041 day  Hm\n"
              "'Am'  $  $$  F#m\n");
    EXPECT_EQ(CallsStartingWith(L"Range(1).Text = 'Don't  D  I'm  A\r'").size(), 1u);
    EXPECT_EQ(CallsStartingWith(L"Documents.Open('" + Wide(source) + L"')").size(), 1u);
    ExpectOpenedOnly(output);
}

// Word has its own working folder: relative names are made full before Word sees them.
TEST_F(WordPath, RelativePathsAreMadeFull) {
    WriteSheet(u"relative.docx", "E\n");
    std::wstring previous(MAX_PATH + 1, L'\0');
    previous.resize(GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data()));
    ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
    const WordResult result = RunWord(u"relative.docx", u"relative+1.docx", ClassicSettings(1, 0));
    SetCurrentDirectoryW(previous.c_str());

    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.outputPath, InFolder(u"relative+1.docx"));
    EXPECT_EQ(
        CallsStartingWith(L"Documents.Open('" + Wide(InFolder(u"relative.docx")) + L"')").size(),
        1u);
    EXPECT_EQ(ReadSheet(InFolder(u"relative+1.docx")), "F\n");
}

TEST_F(WordPath, OutputNotOpenedWhenNotWanted) {
    const std::u16string source = WriteSheet(u"Quiet.docx", "A\n");
    const DocumentResult result = Run(source, InFolder(u"Quiet+1.docx"), 1, 1, Language::English,
                                      /*openOutput=*/false);
    EXPECT_TRUE(result.written);
    EXPECT_EQ(ReadSheet(InFolder(u"Quiet+1.docx")), "Bb\n");
    EXPECT_TRUE(shell_.documents.empty());
}

// melvane-cli hands Word documents to this path: one line each, and the exit status.
TEST_F(WordPath, CommandLineDocuments) {
    WriteSheet(u"Lied.docx", "C  G\nla\n");
    WriteSheet(u"Partly.doc", "C\nD\n");
    std::wstring previous(MAX_PATH + 1, L'\0');
    previous.resize(GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data()));
    ASSERT_TRUE(SetCurrentDirectoryW(Wide(folder_).c_str()));
    const auto run = [&](const std::vector<std::string>& args, std::string& lines) {
        const cli::ParsedArguments parsed = cli::ParseArguments(args);
        EXPECT_TRUE(parsed.ok) << parsed.error;
        std::ostringstream out;
        const int status = cli::RunDocumentMode(Notes(), parsed.options, Language::English,
                                                messages_, shell_, out);
        lines = out.str();
        return status;
    };
    std::string lines;
    const int first = run({"--steps", "2", "--word", "Lied.docx", "Gone.docx"}, lines);
    const std::string firstLines = lines;
    standIn_.FailCalls(L"Range(2).Text =");
    const int second = run({"--steps", "1", "--flats", "-o", "Out.doc", "Partly.doc"}, lines);
    SetCurrentDirectoryW(previous.c_str());

    EXPECT_EQ(first, 1);
    EXPECT_EQ(firstLines,
              "Lied.docx -> Lied+2.docx: 1 paragraph changed, key G → A\n"
              "Gone.docx: not transposed: Word could not open it\n");
    EXPECT_EQ(ReadSheet(InFolder(u"Lied+2.docx")), "D  A\nla\n");
    EXPECT_EQ(second, 1);
    EXPECT_EQ(lines, "Partly.doc -> Out.doc: 1 paragraph changed, 1 could not be changed\n");
    EXPECT_EQ(ReadSheet(InFolder(u"Out.doc")), "Db\nD\n");
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_TRUE(shell_.documents.empty());
}

// ---------------------------------------------------------------------------------------------
// Paragraphs Word will not hand over are left as they were; the run goes on.

TEST_F(WordPath, ParagraphThatFailsIsLeftAndTheRunGoesOn) {
    const wchar_t* failing[] = {
        L"Document.Paragraphs('2')",  // the paragraph
        L"Paragraph(2).Range",        // its range
        L"Range(2).Text",             // reading its text
        L"Range(2).Text =",           // writing it back
    };
    for (const wchar_t* prefix : failing) {
        SCOPED_TRACE(Narrow(prefix));
        standIn_.Reset();
        standIn_.FailCalls(prefix);
        const std::u16string source = WriteSheet(u"Partly.docx", "C\nD\nE\n");
        const std::u16string output = InFolder(u"Partly+1.docx");
        const DocumentResult result = Run(source, output, 1);
        EXPECT_TRUE(result.written);
        EXPECT_EQ(result.changed, 2u);
        EXPECT_EQ(result.unchangeable, 1u);
        EXPECT_TRUE(messages_.shown.empty());
        EXPECT_EQ(ReadSheet(output), "C#\nD\nF\n");
        EXPECT_EQ(standIn_.Alive(), 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Failures: one message each, Word ended, nothing left behind.

TEST_F(WordPath, SourceThatCannotBeOpened) {
    const struct {
        Language language;
        std::u16string title;
        std::u16string text;
    } cases[] = {
        {Language::English, u"Error", u""},
        {Language::German, u"Fehler", u""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(Utf16ToUtf8(row.title));
        standIn_.Reset();
        messages_.shown.clear();
        const std::u16string source = InFolder(u"Missing.docx");
        const std::u16string opening =
            MessageText(Message::WordFileNotOpened, row.language, {source});
        const std::u16string output = InFolder(u"Missing+1.docx");
        const DocumentResult result = Run(source, output, 1, 0, row.language);

        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.failure, DocumentFailure::WordNotOpened);
        ASSERT_EQ(messages_.shown.size(), 1u);
        EXPECT_EQ(messages_.shown[0].title, row.title);
        EXPECT_EQ(messages_.shown[0].text,
                  opening + Utf16(testing::kStandInNotFound) + u" (" + source + u")");
        EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Error);
        const std::vector<std::wstring> calls = standIn_.Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), L"Application.Quit(0:I4)");
        EXPECT_TRUE(CallsStartingWith(L"Document.").empty());
        EXPECT_EQ(standIn_.Alive(), 0);
        EXPECT_FALSE(Exists(output));
        EXPECT_TRUE(shell_.documents.empty());
    }
}

TEST_F(WordPath, WordAbsent) {
    standIn_.Uninstall();
    ASSERT_FALSE(testing::WordIsRegistered());
    const struct {
        Language language;
        std::u16string title;
        std::u16string text;
    } cases[] = {
        {Language::English, u"Error", u""},
        {Language::German, u"Fehler", u""},
    };
    const std::u16string source = WriteSheet(u"Song.docx", "C\n");
    for (const auto& row : cases) {
        SCOPED_TRACE(Utf16ToUtf8(row.title));
        messages_.shown.clear();
        const DocumentResult result = Run(source, u"", 1, 0, row.language);
        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.failure, DocumentFailure::WordNotStarted);
        ASSERT_EQ(messages_.shown.size(), 1u);
        EXPECT_EQ(messages_.shown[0].title, row.title);
        // The file named, then the table's own sentence for a Word that is not there; no
        // English COM text on either face.
        EXPECT_EQ(messages_.shown[0].text,
                  MessageText(Message::WordFileNotStarted, row.language, {source}) +
                      MessageText(Message::WordNotRegistered, row.language));
        EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Error);
    }
    EXPECT_TRUE(standIn_.Calls().empty());
    EXPECT_FALSE(Exists(InFolder(u"Song_NEU.docx")));
    EXPECT_TRUE(shell_.documents.empty());
}

TEST_F(WordPath, CopyThatCannotBeSaved) {
    const struct {
        Language language;
        std::u16string title;
        std::u16string text;
    } cases[] = {
        {Language::English, u"Error", u""},
        {Language::German, u"Fehler", u""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(Utf16ToUtf8(row.title));
        standIn_.Reset();
        messages_.shown.clear();
        const std::u16string source = WriteSheet(u"Song.docx", "C\n");
        const std::u16string output = InFolder(u"no such folder\\Song+1.docx");
        const DocumentResult result = Run(source, output, 1, 0, row.language);

        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.failure, DocumentFailure::WordNotSaved);
        ASSERT_EQ(messages_.shown.size(), 1u);
        EXPECT_EQ(messages_.shown[0].title, row.title);
        EXPECT_EQ(messages_.shown[0].text,
                  MessageText(Message::WordFileNotSaved, row.language, {output}) +
                      Utf16(testing::kStandInNotSaved) + u" (" + output + u")");
        const std::vector<std::wstring> calls = standIn_.Calls();
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls[calls.size() - 2], L"Document.Close(0:I4)");
        EXPECT_EQ(calls.back(), L"Application.Quit(0:I4)");
        EXPECT_TRUE(shell_.documents.empty());
        EXPECT_EQ(ReadSheet(source), "C\n");
    }
}

// Without a paragraph count the copy would be saved untransposed and passed off as done.
TEST_F(WordPath, CountThatCannotBeRead) {
    standIn_.FailCalls(L"Paragraphs.Count");
    const std::u16string source = WriteSheet(u"Song.docx", "C\n");
    const std::u16string output = InFolder(u"Song+1.docx");
    const DocumentResult result = Run(source, output, 1);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.failure, DocumentFailure::WordNotRead);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text,
              MessageText(Message::WordFileNotRead, Language::English, {source}) +
                  Utf16(testing::kStandInToldToFail));
    EXPECT_TRUE(CallsStartingWith(L"Document.SaveAs").empty());
    const std::vector<std::wstring> calls = standIn_.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], L"Document.Close(0:I4)");
    EXPECT_EQ(calls.back(), L"Application.Quit(0:I4)");
    EXPECT_FALSE(Exists(output));
    EXPECT_TRUE(shell_.documents.empty());
}

// Saving over the source would lose the original; Word is not even started.
TEST_F(WordPath, OutputThatWouldReplaceTheSource) {
    const std::u16string source = WriteSheet(u"Song.docx", "C\n");
    std::u16string otherSpelling = source;
    std::replace(otherSpelling.begin(), otherSpelling.end(), u'\\', u'/');
    const std::u16string link = InFolder(u"Link.docx");
    ASSERT_TRUE(CreateHardLinkW(Wide(link).c_str(), Wide(source).c_str(), nullptr));
    const std::u16string outputs[] = {source, otherSpelling, InFolder(u".\\SONG.DOCX"), link};
    for (const std::u16string& output : outputs) {
        SCOPED_TRACE(Utf16ToUtf8(output));
        messages_.shown.clear();
        const DocumentResult result = Run(source, output, 1);
        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.failure, DocumentFailure::SameFile);
        ASSERT_EQ(messages_.shown.size(), 1u);
        EXPECT_EQ(messages_.shown[0].text,
                  MessageText(Message::SameFileNamed, Language::English, {output}));
    }
    EXPECT_TRUE(standIn_.Calls().empty());
    EXPECT_EQ(ReadSheet(source), "C\n");
    EXPECT_TRUE(shell_.documents.empty());
}

}  // namespace
}  // namespace melvane
