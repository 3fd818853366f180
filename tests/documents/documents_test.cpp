// One transposition as either front end asks for it: dispatch, output names, refusals.
#include "documents/documents.h"

#include <gtest/gtest.h>

#include <fstream>

#include "documents/messages.h"
#include "odt_fixture.h"
#include "platform/temp_folder.h"
#include "platform/utf.h"

namespace melvane {
namespace {

namespace fs = std::filesystem;
using namespace testing_odt;

TEST(Documents, KindAndOutputNames) {
    const struct {
        const char* source;
        DocumentKind kind;
        std::int64_t steps;
        const char* proposal;
    } cases[] = {
        {"Songs/Hymn.DOCX", DocumentKind::Docx, 3, "Songs/Hymn+3.docx"},
        {"Vorlage.dotx", DocumentKind::Docx, 2, "Vorlage+2.dotx"},
        {"Makros.DOCM", DocumentKind::Docx, -1, "Makros-1.docm"},
        {"Vorlage.dotm", DocumentKind::Docx, 0, "Vorlage_.dotm"},
        {"Songs/Hymn.doc", DocumentKind::Word, -2, "Songs/Hymn-2.doc"},
        {"song.ODT", DocumentKind::Odt, 0, "song_.odt"},
        {"Songs/Song.CHO", DocumentKind::Text, 2, "Songs/Song+2.cho"},
        {"Lied.txt", DocumentKind::Text, -3, "Lied-3.txt"},
        {"a.ChordPro", DocumentKind::Text, 1, "a+1.chordpro"},
        {"notes.pdf", DocumentKind::Unsupported, 1, "notes+1.pdf"},
        {"odt", DocumentKind::Unsupported, 1, "odt+1."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KindOf(c.source), c.kind) << c.source;
        EXPECT_EQ(ProposeOutputPath(c.source, c.steps), fs::path(c.proposal)) << c.source;
    }
    const fs::path source = fs::path("Songs") / "Hymn.odt";
    EXPECT_EQ(ResolveOutputPath(source, "x.odt"), fs::path("Songs") / "x.odt");
    EXPECT_EQ(ResolveOutputPath(source, fs::path("up") / "x.odt"),
              fs::path("Songs") / "up" / "x.odt");
    EXPECT_EQ(ResolveOutputPath(source, ""), fs::path());
    const fs::path absolute = fs::absolute("elsewhere.odt");
    EXPECT_EQ(ResolveOutputPath(source, absolute), absolute);
}

class TransposeDocumentTest : public testing::Test {
  protected:
    DocumentResult Run(const fs::path& source, const fs::path& output) {
        DocumentJob job;
        job.source = source;
        job.output = output;
        job.settings.steps = 2;
        job.settings.naming = NoteNaming::German;
        job.openOutput = false;
        return TransposeDocument(job, {Notes(), messages_, shell_});
    }
    fs::path Sheet() {
        const fs::path path = files_.Path() / "Lied.odt";
        WriteZip(path, SongSheet(ContentXml("<text:p>Am C</text:p>")));
        return path;
    }

    TempFolder files_{"documents-test"};
    RecordingUserMessages messages_;
    RecordingShell shell_;
};

TEST_F(TransposeDocumentTest, ARelativeOutputLandsBesideTheSourceNotInTheWorkingFolder) {
    const DocumentResult result = Run(Sheet(), "Lied+2.odt");
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(result.kind, DocumentKind::Odt);
    EXPECT_EQ(result.changed, 1u);
    EXPECT_EQ(result.output, files_.Path() / "Lied+2.odt");
    EXPECT_EQ(EntryData(ReadZip(files_.Path() / "Lied+2.odt"), "content.xml"),
              ContentXml("<text:p>Hm D</text:p>"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "Lied+2.odt"));
}

TEST_F(TransposeDocumentTest, RefusalsWriteNothing) {
    const fs::path sheet = Sheet();
    const struct {
        fs::path source;
        fs::path output;
        DocumentFailure failure;
        std::size_t messages;
    } cases[] = {
        {sheet, "Lied.odt", DocumentFailure::SameFile, 1},
        {files_.Path() / "notes.pdf", "notes+2.pdf", DocumentFailure::Unsupported, 0},
        {files_.Path() / "gone.odt", "gone+2.odt", DocumentFailure::SourceUnreadable, 1},
        {sheet, files_.Path() / "missing" / "x.odt", DocumentFailure::OutputNotWritten, 1},
    };
    for (const auto& c : cases) {
        messages_.shown.clear();
        const DocumentResult result = Run(c.source, c.output);
        EXPECT_EQ(result.failure, c.failure) << c.output;
        EXPECT_FALSE(result.Succeeded()) << c.output;
        EXPECT_EQ(messages_.shown.size(), c.messages) << c.output;
        EXPECT_EQ(std::distance(fs::directory_iterator(files_.Path()), {}), 1) << c.output;
    }
}

TEST(Documents, TypedOutputNamesAgainstTheirSource) {
    const struct {
        const char* typed;
        std::int64_t from, to;
        const char* moved;  // "" when the marker does not follow
        OutputExtension fit;
        const char* fixed;  // WithSourceExtension, for a source "Song.odt"
    } cases[] = {
        {"Song+2.odt", 2, 5, "Song+5.odt", OutputExtension::Fitting, "Song+2.odt"},
        {"Mine-3.ODT", -3, 0, "Mine_.ODT", OutputExtension::Fitting, "Mine-3.ODT"},
        {"Mine_.odt", 0, -1, "Mine-1.odt", OutputExtension::Fitting, "Mine_.odt"},
        {"Song+12.odt", 2, 3, "", OutputExtension::Fitting, "Song+12.odt"},
        {"+2.odt", 2, 3, "", OutputExtension::Fitting, "+2.odt"},
        {"Fassung", 0, 1, "", OutputExtension::Missing, "Fassung.odt"},
        {"Fassung 1.5", 0, 1, "", OutputExtension::Missing, "Fassung 1.5.odt"},
        {"falsch.docx", 0, 1, "", OutputExtension::OtherDocument, "falsch.odt"},
        {"falsch+1.DOC", 1, 2, "falsch+2.DOC", OutputExtension::OtherDocument, "falsch+1.odt"},
        {"Lied.cho", 0, 1, "", OutputExtension::OtherDocument, "Lied.odt"},
    };
    const fs::path source = fs::path("x") / "Song.odt";
    for (const auto& c : cases) {
        const fs::path typed = fs::path("x") / c.typed;
        const auto moved = MoveStepMarker(typed, c.from, c.to);
        EXPECT_EQ(moved.value_or(fs::path()), *c.moved ? fs::path("x") / c.moved : fs::path())
            << c.typed;
        EXPECT_EQ(CheckOutputExtension(source, typed), c.fit) << c.typed;
        if (c.fit != OutputExtension::Fitting) {
            EXPECT_EQ(WithSourceExtension(source, typed), fs::path("x") / c.fixed) << c.typed;
        }
    }
    // A text sheet may take any of the text sheets' names.
    EXPECT_EQ(CheckOutputExtension("Lied.txt", "Lied+2.cho"), OutputExtension::Fitting);
}

TEST(Documents, CommonReasonsReadGermanOnTheGermanFace) {
    const struct {
        const char* reason;
        const char16_t* german;  // nullptr: the reason as it is
    } cases[] = {
        {"Permission denied", u"Zugriff verweigert."},
        {"Access is denied.", u"Zugriff verweigert."},
        {"No such file or directory", u"Der Pfad wurde nicht gefunden."},
        {"The system cannot find the path specified.", u"Der Pfad wurde nicht gefunden."},
        {"No space left on device", u"Der Datenträger ist voll."},
        {"There is not enough space on the disk.", u"Der Datenträger ist voll."},
        {"Not a zip archive", u"Die Datei ist kein lesbares Zip-Paket."},
        {"CRC error", u"Die Daten der Datei sind beschädigt."},
        {"Read error: Input/output error", u"Die Daten der Datei sind beschädigt."},
        {"word/document.xml: missing", nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(ReasonText(c.reason, Language::English) == Utf8ToUtf16(c.reason));
        EXPECT_TRUE(ReasonText(c.reason, Language::German) ==
                    (c.german ? std::u16string(c.german) : Utf8ToUtf16(c.reason)))
            << c.reason;
    }
}

// A text sheet's refusal names the reason on its own; its output appears complete or not at all.
TEST_F(TransposeDocumentTest, TextSheetsGoTheirWay) {
    const fs::path song = files_.Path() / "Song.cho";
    std::ofstream(song, std::ios::binary) << "{title: x}\r\n[Am]Some[C]where\r\n";
    const DocumentResult done = Run(song, "Song+2.cho");
    EXPECT_TRUE(done.Succeeded());
    EXPECT_EQ(done.kind, DocumentKind::Text);
    EXPECT_EQ(done.changed, 2u);
    std::ifstream written(files_.Path() / "Song+2.cho", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}),
              "{title: x}\r\n[Hm]Some[D]where\r\n");

    const fs::path binary = files_.Path() / "picture.txt";
    std::ofstream(binary, std::ios::binary) << std::string("GIF89a\0\0", 8);
    const DocumentResult refused = Run(binary, "picture+2.txt");
    EXPECT_EQ(refused.failure, DocumentFailure::NotAText);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_NE(messages_.shown[0].text.find(u"picture.txt"), std::u16string::npos);
    EXPECT_FALSE(fs::exists(files_.Path() / "picture+2.txt"));
}

}  // namespace
}  // namespace melvane
