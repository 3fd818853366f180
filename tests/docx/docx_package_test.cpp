// The .docx fixtures written by make_fixtures.py, transposed from file to file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "docx/docx_package.h"
#include "docx/docx_text.h"
#include "platform/temp_folder.h"

namespace melvane {
namespace {

const std::filesystem::path kFixtures = MELVANE_DOCX_FIXTURES;

struct ReadPackage {
    std::vector<std::string> names;
    std::vector<DocxPart> parts;
};

ReadPackage Read(const std::filesystem::path& file) {
    ReadPackage read;
    const OpenedPackage opened = OpenPackage(file);
    EXPECT_TRUE(opened.status.Ok()) << file;
    if (!opened.status.Ok()) {
        return read;
    }
    const DocxEntryReader entries = EntriesOf(*opened.reader);
    read.names = FindDocxParts(entries).names;
    for (const std::string& name : read.names) {
        DocxPart part;
        std::string bytes;
        ReadDocxEntry(entries, name, bytes);
        EXPECT_TRUE(ParseDocxPart(bytes, part).parsed) << name;
        read.parts.push_back(std::move(part));
    }
    return read;
}

// What the engine makes of one line on its own: the whole line in sheet-aware mode, each piece
// between separators alone in classic mode.
std::u16string Expected(const SheetTransposer& transposer, const DocxPart& part,
                        const DocxLine& line) {
    if (transposer.Settings().recognition == Recognition::SheetAware) {
        return transposer.TransposeLine(DocxLineText(part, line));
    }
    std::u16string expected;
    std::u16string piece;
    for (const DocxLineItem& item : line) {
        if (item.node != DocxLineItem::kSeparator) {
            piece += part.Text(item.node);
            continue;
        }
        expected += transposer.TransposeLine(piece) + (item.separator == kDocxTab ? u'\t' : u' ');
        piece.clear();
    }
    return expected + transposer.TransposeLine(piece);
}

// Spaces that keep columns change only within one run, so a line of several runs may keep
// them where the whole line would not.
std::u16string OneSpace(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c != u' ' || out.empty() || out.back() != u' ') {
            out += c;
        }
    }
    return out;
}

// Every line comes out as the engine moves its text. A line of one run must match exactly.
TEST(DocxPackage, EveryLineComesOutAsTheEngineMovesItsText) {
    const NoteTable notes = BuildNoteTables();
    TempFolder work("docx-test");
    for (const char* fixture : {"sheet.docx", "strict.docx", "template.dotx", "utf16.docx"}) {
        for (const Recognition recognition : {Recognition::SheetAware, Recognition::Classic}) {
            for (const int steps : {1, -3, 6}) {
                SCOPED_TRACE(std::string(fixture) + " " + std::to_string(steps) +
                             (recognition == Recognition::Classic ? " classic" : " sheet"));
                const TransposeSettings settings{
                    .steps = steps, .spelling = steps < 0 ? 1 : 0, .recognition = recognition};
                const std::filesystem::path output = work.Path() / "out.docx";
                const DocxPackageResult result =
                    TransposeDocxPackage(kFixtures / fixture, output, notes, settings);
                ASSERT_TRUE(result.written) << result.package.reason << result.text.reason;
                EXPECT_GT(result.text.textsChanged, 10u);

                const ReadPackage before = Read(kFixtures / fixture);
                const ReadPackage after = Read(output);
                ASSERT_EQ(before.names, after.names);
                SheetTransposer transposer(notes, settings);
                for (const DocxPart& part : before.parts) {
                    for (std::size_t i = 0; i < part.ParagraphCount(); ++i) {
                        for (const DocxLine& line : part.Lines(i)) {
                            transposer.Learn(DocxLineText(part, line));
                        }
                    }
                }
                for (std::size_t p = 0; p < before.parts.size(); ++p) {
                    const DocxPart& source = before.parts[p];
                    const DocxPart& moved = after.parts[p];
                    ASSERT_EQ(source.ParagraphCount(), moved.ParagraphCount());
                    ASSERT_EQ(source.nodes.size(), moved.nodes.size());
                    for (std::size_t i = 0; i < source.ParagraphCount(); ++i) {
                        const std::vector<DocxLine> lines = source.Lines(i);
                        const std::vector<DocxLine> movedLines = moved.Lines(i);
                        ASSERT_EQ(lines.size(), movedLines.size());
                        for (std::size_t l = 0; l < lines.size(); ++l) {
                            const std::u16string got = DocxLineText(moved, movedLines[l]);
                            const std::u16string expected = Expected(transposer, source, lines[l]);
                            if (lines[l].size() == 1) {
                                EXPECT_EQ(got, expected);
                            } else {
                                EXPECT_EQ(OneSpace(got), OneSpace(expected));
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(DocxPackage, TextIsWhatTheReaderSeesAndNothingElse) {
    std::vector<std::u16string> paragraphs;
    ASSERT_TRUE(ReadDocxPackageParagraphs(kFixtures / "sheet.docx", paragraphs));
    const auto has = [&](std::u16string_view text) {
        return std::find(paragraphs.begin(), paragraphs.end(), text) != paragraphs.end();
    };
    // Deleted and moved-away revisions, field codes, comments and tab stops are not text;
    // text boxes, headers and footnotes are.
    for (std::u16string_view text : {u"G Am C", u"E  F", u"F#m  D\u2011A\tE7", u"Am\tF\tC7\tG",
                                     u"Em   D\nTrägt das Lied "
                                     u"bis an den See\nC    G",
                                     u"Dm  G7  C", u"Am  F  C", u"Oder: Am  F", u"D  A  Hm"}) {
        EXPECT_TRUE(has(text)) << std::string(text.begin(), text.end());
    }
    for (const std::u16string& paragraph : paragraphs) {
        EXPECT_EQ(paragraph.find(u"lieber"), std::u16string::npos);  // the comment
    }
}

TEST(DocxPackage, RefusedSourcesWriteNothing) {
    const NoteTable notes = BuildNoteTables();
    TempFolder work("docx-test");
    const std::filesystem::path output = work.Path() / "out.docx";
    for (const char* fixture : {"not-a-package.docx", "no-main-part.docx", "broken-header.docx"}) {
        const DocxPackageResult result =
            TransposeDocxPackage(kFixtures / fixture, output, notes, TransposeSettings{.steps = 2});
        EXPECT_TRUE(result.SourceUnreadable()) << fixture;
        EXPECT_FALSE(std::filesystem::exists(output)) << fixture;
    }
    EXPECT_TRUE(std::filesystem::is_empty(work.Path()));
}

}  // namespace
}  // namespace melvane
