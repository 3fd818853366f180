// Walking content.xml: which texts are transposed, and how children keep their places.
#include <gtest/gtest.h>

#include "odt/odt_content.h"
#include "odt/xml_reader.h"
#include "odt/xml_writer.h"
#include "odt_fixture.h"
#include "platform/temp_folder.h"
#include "platform/utf.h"

namespace melvane {
namespace {

namespace fs = std::filesystem;
using namespace testing_odt;

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

struct Walked {
    std::string xml;  // written back, without the declaration
    std::size_t changed = 0;
};

Walked Walk(const std::string& xml, std::int64_t steps, int spelling = 0) {
    XmlLoadResult loaded = LoadXmlBytes(xml);
    EXPECT_EQ(loaded.status, XmlLoadStatus::Loaded) << xml;
    Walked walked;
    walked.changed = WalkTextNodes(loaded.document, loaded.document.DocumentElement(),
                                   ChordShift{Notes(), ClassicSettings(steps, spelling)});
    walked.xml = XmlToBytes(loaded.document).substr(sizeof kDeclaration - 1);
    return walked;
}

TEST(WalkTextNodes, EachRunBetweenChildrenIsItsOwnPiece) {
    const struct {
        const char* in;
        std::int64_t steps;
        const char* out;
        std::size_t changed;
    } cases[] = {
        // Tabs between chords: every chord moves, none is glued to the next.
        {"<text:p>Am<text:tab/>F<text:tab/>C<text:tab/>G</text:p>", 2,
         "<text:p>Hm<text:tab/>G<text:tab/>D<text:tab/>A</text:p>", 4},
        // Longer replacements: the line break stays after the chord line.
        {"<text:p>C  G<text:line-break/>lyrics go here</text:p>", 1,
         "<text:p>C#  G#<text:line-break/>lyrics go here</text:p>", 1},
        // Shorter replacements: nothing of the lyrics moves in front of the break.
        {"<text:p>C#  G#<text:line-break/>Sing along</text:p>", -1,
         "<text:p>C  G<text:line-break/>Sing along</text:p>", 1},
        // A run that shrinks and one that grows around several children.
        {"<text:p>Db<text:s text:c=\"3\"/>E<text:tab/>Ab7 x<text:line-break/>A</text:p>", 1,
         "<text:p>D<text:s text:c=\"3\"/>F<text:tab/>A7 x<text:line-break/>A#</text:p>", 4},
        // Text before the first child and after the last.
        {"<text:p>G<text:span>Am</text:span>D</text:p>", 2,
         "<text:p>A<text:span>Hm</text:span>E</text:p>", 3},
        // No chord: nothing is rewritten.
        {"<text:p>Hello<text:tab/>world</text:p>", 2, "<text:p>Hello<text:tab/>world</text:p>", 0},
    };
    for (const auto& c : cases) {
        const Walked walked = Walk(c.in, c.steps);
        EXPECT_EQ(walked.xml, c.out) << c.in;
        EXPECT_EQ(walked.changed, c.changed) << c.in;
    }
}

TEST(WalkTextNodes, ChildOffsetsBecomeTheNewRunLengths) {
    XmlLoadResult loaded =
        LoadXmlBytes("<text:p>C<text:tab/>Dbm7<text:line-break/>la la<text:tab/></text:p>");
    XmlDocument& document = loaded.document;
    const XmlNodeId p = document.DocumentElement();
    EXPECT_EQ(WalkTextNodes(document, p, ChordShift{Notes(), ClassicSettings(1, 0)}), 2u);
    EXPECT_EQ(Utf16ToUtf8(document.Text(p)), "C#Dm7la la");
    std::vector<std::size_t> offsets;
    for (XmlNodeId child = document.FirstChild(p); child != kNoXmlNode;
         child = document.NextSibling(child)) {
        offsets.push_back(document.Offset(child));
    }
    EXPECT_EQ(offsets, (std::vector<std::size_t>{2, 3, 5}));
}

TEST(WalkTextNodes, OnlyNamesStartingWithTextColonAreTransposed) {
    const struct {
        const char* name;
        bool transposed;
    } cases[] = {
        {"text:p", true},
        {"text:h", true},
        {"text:span", true},
        {"text:anything", true},
        {"Text:p", false},
        {"text", false},
        {"texts:p", false},
        {"office:text", false},
        {"table:table-cell", false},
        {"p", false},
    };
    for (const auto& c : cases) {
        const std::string name = c.name;
        const Walked walked = Walk("<root><" + name + ">Am</" + name + "></root>", 2);
        EXPECT_EQ(walked.xml,
                  "<root><" + name + (c.transposed ? ">Hm</" : ">Am</") + name + "></root>")
            << name;
    }
}

TEST(WalkTextNodes, DescendantsOfOtherElementsAreReached) {
    const Walked walked = Walk(
        "<office:text><table:table><table:table-row><table:table-cell>"
        "<text:p>F<text:span> G </text:span>C</text:p></table:table-cell>"
        "</table:table-row></table:table><draw:frame><draw:text-box><text:p>Em</text:p>"
        "</draw:text-box></draw:frame></office:text>",
        -2, 1);
    EXPECT_EQ(walked.xml,
              "<office:text><table:table><table:table-row><table:table-cell>"
              "<text:p>Eb<text:span> F </text:span>Bb</text:p></table:table-cell>"
              "</table:table-row></table:table><draw:frame><draw:text-box><text:p>Dm</text:p>"
              "</draw:text-box></draw:frame></office:text>");
    EXPECT_EQ(walked.changed, 4u);
}

TEST(WalkTextNodes, EmptyElementsStayEmptyAndAttributesAreNeverTransposed) {
    EXPECT_EQ(Walk("<text:p text:style-name=\"Am\"><text:s/><text:tab/></text:p>", 2).xml,
              "<text:p text:style-name=\"Am\"><text:s/><text:tab/></text:p>");
}

TEST(WalkTextNodes, TheArticleRuleWorksWithinOneRun) {
    // "A little" is one run: the article stays. After a tab the word is another piece.
    EXPECT_EQ(Walk("<text:p>A little bird<text:tab/>A</text:p>", 2).xml,
              "<text:p>A little bird<text:tab/>H</text:p>");
}

// Sheet-aware: lines are paragraphs up to each line break, learned in full before any moves.
TEST(WalkTextNodes, SheetAwareReadsParagraphLines) {
    const struct {
        const char* in;
        const char* out;
        std::size_t changed;
    } cases[] = {
        // A tab element divides the line into parts judged on their own.
        {"<text:p>Am<text:tab/>F<text:tab/>C<text:tab/>G</text:p>",
         "<text:p>Hm<text:tab/>G<text:tab/>D<text:tab/>A</text:p>", 4},
        // A line break ends a line: the lyrics after it keep their article.
        {"<text:p>C  G<text:line-break/>A little bird</text:p>",
         "<text:p>D  A<text:line-break/>A little bird</text:p>", 1},
        // Space elements are spaces; columns are only kept within one piece of text.
        {"<text:p>E<text:s text:c=\"3\"/>C  D  G</text:p>",
         "<text:p>F#<text:s text:c=\"3\"/>D  E  A</text:p>", 2},
        // A chord split by a span: the changed part goes where it starts.
        {"<text:p><text:span>F</text:span>is  h</text:p>",
         "<text:p><text:span>G</text:span>is  cis</text:p>", 2},
        // A span around a line break belongs to two lines.
        {"<text:p><text:span>Am<text:line-break/>A little</text:span></text:p>",
         "<text:p><text:span>Hm<text:line-break/>A little</text:span></text:p>", 1},
        // The sheet writes H in one paragraph, so the bare B of another is B-flat.
        {"<text:p>h</text:p><text:p>B  C</text:p>", "<text:p>c#</text:p><text:p>C  D</text:p>", 2},
        // A paragraph inside a note is a line of its own.
        {"<text:p>Am Abend<text:note><text:note-body><text:p>C  G</text:p></text:note-body>"
         "</text:note></text:p>",
         "<text:p>Am Abend<text:note><text:note-body><text:p>D  A</text:p></text:note-body>"
         "</text:note></text:p>",
         1},
        // Text beside a paragraph in an element that is still open when the paragraph ends.
        {"<text:section>E<text:p>G  D</text:p>F</text:section>",
         "<text:section>F#<text:p>A  E</text:p>G</text:section>", 3},
        // Lyrics and headings stay.
        {"<text:h>THE END<text:tab/>[VERSE 1]</text:h>",
         "<text:h>THE END<text:tab/>[VERSE 1]</text:h>", 0},
    };
    for (const auto& c : cases) {
        XmlLoadResult loaded = LoadXmlBytes(std::string("<office:text>") + c.in + "</office:text>");
        TransposeSettings settings;
        settings.steps = 2;
        settings.germanReader = true;
        const std::size_t changed = WalkTextNodes(
            loaded.document, loaded.document.DocumentElement(), ChordShift{Notes(), settings});
        EXPECT_EQ(XmlToBytes(loaded.document).substr(sizeof kDeclaration - 1),
                  std::string("<office:text>") + c.out + "</office:text>");
        EXPECT_EQ(changed, c.changed) << c.in;
    }
}

class ContentFileTest : public testing::Test {
  protected:
    ContentResult Transpose(const std::string& content, std::int64_t steps = 2) {
        bytes_ = content;
        return TransposeContentXml(bytes_, ChordShift{Notes(), ClassicSettings(steps, 0)});
    }
    std::string Written() { return bytes_; }

    std::string bytes_;
};

TEST_F(ContentFileTest, OfficeContentIsTransposedAndWrittenBack) {
    const ContentResult result =
        Transpose(ContentXml("<text:p>Am  G  C</text:p><text:p>Bär über H</text:p>"));
    EXPECT_EQ(result.status, ContentStatus::Transposed);
    EXPECT_EQ(result.piecesChanged, 2u);
    EXPECT_EQ(Written(), ContentXml("<text:p>Hm  A  D</text:p><text:p>Bär über C#</text:p>"));
}

TEST_F(ContentFileTest, OtherDocumentElementIsWrittenBackButNotWalked) {
    const ContentResult result = Transpose(
        "<?xml version='1.0'?>\n<office:document-styles><text:p>Am</text:p><e></e>"
        "</office:document-styles>");
    EXPECT_EQ(result.status, ContentStatus::Transposed);
    EXPECT_EQ(result.piecesChanged, 0u);
    EXPECT_EQ(Written(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-styles>"
              "<text:p>Am</text:p><e/></office:document-styles>");
}

TEST_F(ContentFileTest, ParseErrorIsReportedAndTheBytesStayAsTheyWere) {
    const std::string broken =
        "<?xml version=\"1.0\"?>\n<office:document-content>\n"
        "  <text:p>Am</text:q></office:document-content>";
    const ContentResult result = Transpose(broken);
    EXPECT_EQ(result.status, ContentStatus::ParseError);
    EXPECT_EQ(Written(), broken);
    EXPECT_EQ(Utf16ToUtf8(result.error.message), "mismatched tag");
    EXPECT_EQ(result.error.line, 3u);
    EXPECT_EQ(result.error.column, 15u);
}

TEST_F(ContentFileTest, EmptyContentIsLeftAloneSilently) {
    EXPECT_EQ(Transpose("").status, ContentStatus::Missing);
    EXPECT_EQ(Written(), "");
}

}  // namespace
}  // namespace melvane
