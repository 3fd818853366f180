// Loading and writing content.xml: the text model, line breaks, escaping, encodings, errors.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "odt/xml_reader.h"
#include "odt/xml_writer.h"
#include "platform/temp_folder.h"
#include "platform/utf.h"

namespace melvane {
namespace {

XmlDocument Load(std::string_view bytes) {
    XmlLoadResult loaded = LoadXmlBytes(bytes);
    EXPECT_EQ(loaded.status, XmlLoadStatus::Loaded)
        << Utf16ToUtf8(loaded.error.message) << " at " << loaded.error.line << ":"
        << loaded.error.column;
    return std::move(loaded.document);
}

std::string RoundTrip(std::string_view bytes) {
    return XmlToBytes(Load(bytes));
}

std::string U8(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

// A literal with zero bytes inside, all of it.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// Children of a node in order.
std::vector<XmlNodeId> Children(const XmlDocument& document, XmlNodeId node) {
    std::vector<XmlNodeId> children;
    for (XmlNodeId child = document.FirstChild(node); child != kNoXmlNode;
         child = document.NextSibling(child)) {
        children.push_back(child);
    }
    return children;
}

TEST(XmlModel, EveryNodeKindSurvivesARoundTrip) {
    const std::string file =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<!DOCTYPE song PUBLIC \"-//Melvane//Song//EN\" \"song.dtd\" [\n"
        "  <!ENTITY refrain \"la la\">\n"
        "  <!-- inside the subset --><?subset pi?>\n"
        "]>\n"
        "<!-- before -->\n"
        "<?style sheet=\"plain\"?>\n"
        "<song key=\"G\" mood='calm'>intro <b>bold</b><![CDATA[ <raw> & ]]><empty/>"
        "<p a=\"1\"></p>outro</song>\n"
        "<!-- after -->\n";
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<!DOCTYPE song PUBLIC \"-//Melvane//Song//EN\" \"song.dtd\" [\n"
        "  <!ENTITY refrain \"la la\">\n"
        "  <!-- inside the subset --><?subset pi?>\n"
        "]>\n"
        "<!-- before -->\n"
        "<?style sheet=\"plain\"?>\n"
        "<song key=\"G\" mood=\"calm\">intro <b>bold</b><![CDATA[ <raw> & ]]><empty/>"
        "<p a=\"1\"/>outro</song>\n"
        "<!-- after -->\n";
    EXPECT_EQ(RoundTrip(file), expected);
    // Written once, the form is stable.
    EXPECT_EQ(RoundTrip(expected), expected);
}

TEST(XmlModel, NodesCarryKindNameTextAndAttributes) {
    const XmlDocument document =
        Load("<r x=\"1\" y=\"two\"><!--c--><?t d a t a?><![CDATA[cd]]></r>");
    const XmlNodeId r = document.DocumentElement();
    ASSERT_NE(r, kNoXmlNode);
    EXPECT_EQ(document.Kind(XmlDocument::kRoot), XmlNodeKind::Document);
    EXPECT_TRUE(document.Name(r) == u"r");
    ASSERT_EQ(document.AttributeCount(r), 2u);
    EXPECT_TRUE(document.Attribute(r, 1).name == u"y");
    EXPECT_TRUE(document.Attribute(r, 1).value == u"two");
    const auto children = Children(document, r);
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(document.Kind(children[0]), XmlNodeKind::Comment);
    EXPECT_EQ(U8(document.Text(children[0])), "c");
    EXPECT_EQ(document.Kind(children[1]), XmlNodeKind::ProcessingInstruction);
    EXPECT_EQ(U8(document.Name(children[1])), "t");
    EXPECT_EQ(U8(document.Text(children[1])), "d a t a");
    EXPECT_EQ(document.Kind(children[2]), XmlNodeKind::CData);
    EXPECT_EQ(U8(document.Text(children[2])), "cd");
    EXPECT_TRUE(document.Text(r).empty());
}

TEST(XmlModel, ElementTextJoinsAllDirectCharacterDataAndChildrenRecordTheirOffsets) {
    const XmlDocument document = Load("<p>Am<t/>F<s>x</s><t/>C  G<b/></p>");
    const XmlNodeId p = document.DocumentElement();
    EXPECT_EQ(U8(document.Text(p)), "AmFC  G");
    const auto children = Children(document, p);
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(document.Offset(children[0]), 2u);
    EXPECT_EQ(document.Offset(children[1]), 1u);
    EXPECT_EQ(document.Offset(children[2]), 0u);
    EXPECT_EQ(document.Offset(children[3]), 4u);
    EXPECT_EQ(U8(document.Text(children[1])), "x");
}

TEST(XmlModel, TextOutsideTheDocumentElementBelongsToTheRoot) {
    const XmlDocument document = Load("<?xml version=\"1.0\"?>\n<!--a-->\n\n<r/>\n");
    EXPECT_EQ(U8(document.Text(XmlDocument::kRoot)), "\n\n\n\n");
    const auto children = Children(document, XmlDocument::kRoot);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(document.Offset(children[0]), 1u);
    EXPECT_EQ(document.Offset(children[1]), 2u);
}

TEST(XmlModel, EntityReferencesAreResolvedAndWrittenBackEscaped) {
    EXPECT_EQ(RoundTrip("<!DOCTYPE r [<!ENTITY e \"E&#38;#38;e\">]><r>&e; &amp; &#x41;&lt;</r>"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
              "<!DOCTYPE r [<!ENTITY e \"E&#38;#38;e\">]><r>E&amp;e &amp; A&lt;</r>");
}

TEST(XmlModel, DocumentTypeIsRebuiltFromItsParts) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<!DOCTYPE r><r/>", "<!DOCTYPE r><r/>"},
        {"<!DOCTYPE r SYSTEM 'r.dtd'><r/>", "<!DOCTYPE r SYSTEM \"r.dtd\"><r/>"},
        {"<!DOCTYPE r PUBLIC '-//x' \"a.dtd\"><r/>", "<!DOCTYPE r PUBLIC \"-//x\" \"a.dtd\"><r/>"},
        {"<!DOCTYPE r SYSTEM 'say\"hi'><r/>", "<!DOCTYPE r SYSTEM 'say\"hi'><r/>"},
        {"<!DOCTYPE r [ <!ELEMENT r ANY> ]><r/>", "<!DOCTYPE r [ <!ELEMENT r ANY> ]><r/>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundTrip(c.in),
                  std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + c.out)
            << c.in;
    }
}

TEST(XmlLineBreaks, StyleComesFromTheFirstLineBreakOfTheFirstChunk) {
    const struct {
        std::string chunk;
        LineBreakStyle style;
    } cases[] = {
        {"<a>\r\nx\ny</a>", LineBreakStyle::CrLf},
        {"<a>\rx\r\n</a>", LineBreakStyle::Cr},
        {"<a>x\n\r\n</a>", LineBreakStyle::Lf},
        {"<a/>", LineBreakStyle::Lf},
        {"\n<a>\r\n</a>", LineBreakStyle::CrLf},  // one leading line feed is skipped
        {"\n\n<a>\r\n</a>", LineBreakStyle::Lf},
        {"\r", LineBreakStyle::Cr},
        {"", LineBreakStyle::Lf},
        {Bytes("<\0a\0>\0\r\0\n\0<\0/\0a\0>\0"), LineBreakStyle::CrLf},
        {Bytes("\xFF\xFE<\0a\0>\0\r\0x\0<\0/\0a\0>\0"), LineBreakStyle::Cr},
        {Bytes("\xFE\xFF\0<\0a\0>\0\n\0<\0/\0a\0>"), LineBreakStyle::Lf},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectLineBreakStyle(c.chunk), c.style) << testing::PrintToString(c.chunk);
    }
}

TEST(XmlLineBreaks, EachStyleIsStoredInTheTextAndWrittenBackByteForByte) {
    const struct {
        std::string file;
        std::string text;    // of <p>, as stored
        std::size_t offset;  // of <b/>
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<p>a\r\nb<b/>\r\n</p>\r\n<!--c\r\nd--><?pi "
         "e\r\nf?>",
         "a\r\nb\r\n", 4},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r<p>a\rb<b/>\r</p>\r<!--c\rd--><?pi e\rf?>",
         "a\rb\r", 3},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p>a\nb<b/>\n</p>\n<!--c\nd--><?pi e\nf?>",
         "a\nb\n", 3},
    };
    for (const auto& c : cases) {
        const XmlDocument document = Load(c.file);
        const XmlNodeId p = document.DocumentElement();
        EXPECT_EQ(U8(document.Text(p)), c.text);
        EXPECT_EQ(document.Offset(document.FirstChild(p)), c.offset);
        EXPECT_EQ(XmlToBytes(document), c.file);
    }
}

TEST(XmlEscaping, TextAndAttributeValuesAreEscapedDifferently) {
    XmlDocument document;
    const XmlNodeId r = document.AppendChild(XmlDocument::kRoot, XmlNodeKind::Element, u"r");
    document.AppendAttribute(r, u"v", u"<a & 'b' \"c\"\n\r\t>");
    document.SetText(r, u"<a & 'b' \"c\"\n\r\t>");
    const XmlNodeId comment = document.AppendChild(r, XmlNodeKind::Comment);
    document.SetText(comment, u" <&> ");
    EXPECT_EQ(XmlToBytes(document),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
              "<r v=\"&lt;a &amp; &apos;b&apos; &quot;c&quot;&#10;&#13;&#9;&gt;\">"
              "<!-- <&> -->&lt;a &amp; 'b' \"c\"\n\r\t&gt;</r>");
    // And the reader gives back what was written.
    const XmlDocument again = Load(XmlToBytes(document));
    EXPECT_EQ(U8(again.Attribute(again.DocumentElement(), 0).value), "<a & 'b' \"c\"\n\r\t>");
}

TEST(XmlEscaping, ChildlessElementWithoutTextIsWrittenInTheEmptyForm) {
    EXPECT_EQ(
        RoundTrip("<r><a></a><b x=\"1\"> </b><c><!----></c></r>"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a/><b x=\"1\"> </b><c><!----></c></r>");
    XmlDocument document = Load("<r><p>C</p></r>");
    document.SetText(document.FirstChild(document.DocumentElement()), u"");
    EXPECT_EQ(XmlToBytes(document), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><p/></r>");
}

TEST(XmlDeclaration, StandaloneIsKeptWhenGiven) {
    EXPECT_EQ(RoundTrip("<?xml version=\"1.0\" standalone=\"no\"?><r/>"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><r/>");
    EXPECT_EQ(RoundTrip("<?xml version='1.0' standalone='yes'?><r/>"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><r/>");
    EXPECT_EQ(RoundTrip("<r/>"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>");
}

TEST(XmlEncodings, DeclaredEncodingPicksTheOutputEncoding) {
    const struct {
        const char* declared;
        XmlEncoding encoding;
    } cases[] = {
        {"UTF-8", XmlEncoding::Utf8},        {"utf-8", XmlEncoding::Utf8},
        {"ISO-8859-1", XmlEncoding::Latin1}, {"iso-8859-1", XmlEncoding::Latin1},
        {"US-ASCII", XmlEncoding::Latin1},   {"us-ascii", XmlEncoding::Latin1},
    };
    for (const auto& c : cases) {
        const XmlDocument document =
            Load(std::string("<?xml version=\"1.0\" encoding=\"") + c.declared + "\"?><r/>");
        EXPECT_EQ(document.encoding, c.encoding) << c.declared;
    }
}

std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

TEST(XmlEncodings, Utf16FileIsWrittenAsUtf16LittleEndianWithoutByteOrderMark) {
    const std::u16string body = u"<r a=\"\u00E4\">\u20AC \U0001D11E\r\nx</r>";
    const std::string file =
        "\xFF\xFE" + Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n" + body);
    const XmlDocument document = Load(file);
    EXPECT_EQ(document.encoding, XmlEncoding::Utf16);
    EXPECT_EQ(document.lineBreaks, LineBreakStyle::CrLf);
    EXPECT_TRUE(document.Text(document.DocumentElement()) == u"\u20AC \U0001D11E\r\nx");
    const std::string written = XmlToBytes(document);
    EXPECT_EQ(written, Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n" + body));
    // The parser recognises it again.
    EXPECT_TRUE(Load(written).Text(Load(written).DocumentElement()) == u"\u20AC \U0001D11E\r\nx");
}

TEST(XmlEncodings, Latin1FileKeepsItsBytesAndRefersToWiderCharacters) {
    const std::string file =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xE4&#8364;\">B\xE4r &#x20AC; "
        "&#x1D11E;<!--\xFC--></r>";
    const XmlDocument document = Load(file);
    EXPECT_TRUE(document.Text(document.DocumentElement()) == u"B\u00E4r \u20AC \U0001D11E");
    EXPECT_EQ(XmlToBytes(document),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xE4&#8364;\">B\xE4r &#8364; "
              "&#119070;<!--\xFC--></r>");
}

TEST(XmlEncodings, Utf8WritesSupplementaryCharactersAsOneSequence) {
    XmlDocument document;
    const XmlNodeId r = document.AppendChild(XmlDocument::kRoot, XmlNodeKind::Element, u"r");
    document.SetText(r, u"\U0001D11E\u00FC");
    EXPECT_EQ(XmlToBytes(document),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xF0\x9D\x84\x9E\xC3\xBC</r>");
}

TEST(XmlErrors, ParseErrorGivesTheParsersTextLineAndColumn) {
    const struct {
        const char* file;
        const char* message;
        std::uint64_t line;
        std::uint64_t column;
    } cases[] = {
        {"<a>\n  <b></a>", "mismatched tag", 2, 8},
        {"<a>\n\n x & y</a>", "not well-formed (invalid token)", 3, 5},
        {"<a>", "no element found", 1, 4},
        {"<a></a><b/>", "junk after document element", 1, 8},
        {"<a>\xFF</a>", "not well-formed (invalid token)", 1, 4},
    };
    for (const auto& c : cases) {
        const XmlLoadResult loaded = LoadXmlBytes(c.file);
        ASSERT_EQ(loaded.status, XmlLoadStatus::ParseError) << c.file;
        EXPECT_EQ(U8(loaded.error.message), c.message) << c.file;
        EXPECT_EQ(loaded.error.line, c.line) << c.file;
        EXPECT_EQ(loaded.error.column, c.column) << c.file;
    }
}

class XmlFileTest : public testing::Test {
  protected:
    std::filesystem::path Write(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = folder_.Path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    TempFolder folder_{"xml-test"};
};

TEST_F(XmlFileTest, MissingAndEmptyFilesAreToldApart) {
    EXPECT_EQ(LoadXmlFile(folder_.Path() / "none.xml").status, XmlLoadStatus::Missing);
    EXPECT_EQ(LoadXmlFile(Write("empty.xml", "")).status, XmlLoadStatus::Empty);
}

TEST_F(XmlFileTest, LargeFileIsReadInChunksAndSavedAgainUnchanged) {
    // Multi-byte characters and line breaks fall on every chunk boundary somewhere.
    std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>";
    for (int i = 0; i < 9000; ++i) {
        file += "<p n=\"" + std::to_string(i) + "\">B\xC3\xA4r \xF0\x9D\x84\x9E\r\n</p>";
    }
    file += "</r>";
    ASSERT_GT(file.size(), 10 * kXmlReadChunk);
    const XmlLoadResult loaded = LoadXmlFile(Write("big.xml", file));
    ASSERT_EQ(loaded.status, XmlLoadStatus::Loaded);
    ASSERT_TRUE(SaveXmlFile(loaded.document, folder_.Path() / "saved.xml"));
    std::ifstream saved(folder_.Path() / "saved.xml", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_EQ(bytes, file);
}

TEST_F(XmlFileTest, SavingReplacesTheFileAndFailsWhereNoFileCanBeMade) {
    const std::filesystem::path path = Write("old.xml", std::string(100000, 'x'));
    ASSERT_TRUE(SaveXmlFile(Load("<r/>"), path));
    EXPECT_EQ(std::filesystem::file_size(path),
              std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>").size());
    EXPECT_FALSE(SaveXmlFile(Load("<r/>"), folder_.Path() / "no" / "such.xml"));
}

TEST(XmlModel, DeepNestingIsWrittenWithoutExhaustingTheStack) {
    constexpr int kDepth = 200000;
    std::string file;
    for (int i = 0; i < kDepth; ++i)
        file += "<e>";
    file += "x";
    for (int i = 0; i < kDepth; ++i)
        file += "</e>";
    EXPECT_EQ(RoundTrip(file), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + file);
}

}  // namespace
}  // namespace melvane
