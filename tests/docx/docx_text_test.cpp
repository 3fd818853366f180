#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "docx/docx_document.h"
#include "docx/docx_text.h"

namespace melvane {
namespace {

TEST(RewriteDocxPart, NewTextReplacesTheWholeCharacterDataAndKeepsBlanks) {
    // Each part holds one w:t; its new text must read back exactly, with xml:space="preserve"
    // where it starts or ends with a blank, and every other byte as it was.
    struct Case {
        std::string element;
        std::u16string newText;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"<w:t/>", u"C#", "<w:t>C#</w:t>"},
        {"<w:t />", u" D", "<w:t xml:space=\"preserve\" > D</w:t>"},
        {"<w:t>A&amp;B</w:t>", u"H&<C>", "<w:t>H&amp;&lt;C&gt;</w:t>"},
        {"<w:t xml:space=\"default\">A</w:t>", u"H ", "<w:t xml:space=\"preserve\">H </w:t>"},
        {"<w:t xml:space=\"preserve\">A </w:t>", u"H ", "<w:t xml:space=\"preserve\">H </w:t>"},
        {"<w:t>A&#13;</w:t>", u"H\r", "<w:t xml:space=\"preserve\">H&#13;</w:t>"},
    };
    const std::string head =
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
        "<w:body><w:p><w:r>";
    const std::string tail = "</w:r></w:p></w:body></w:document>";
    for (const Case& c : cases) {
        DocxPart part;
        ASSERT_TRUE(ParseDocxPart(head + c.element + tail, part).parsed) << c.element;
        ASSERT_EQ(part.nodes.size(), 1u);
        part.nodes[0].newText = 0;
        part.newTexts = {c.newText};
        const std::string rewritten = RewriteDocxPart(part);
        EXPECT_EQ(rewritten.substr(0, head.size()), head);
        EXPECT_EQ(rewritten.substr(rewritten.size() - tail.size()), tail);
        EXPECT_NE(rewritten.find(c.written), std::string::npos) << rewritten;
        DocxPart again;
        ASSERT_TRUE(ParseDocxPart(rewritten, again).parsed) << rewritten;
        ASSERT_EQ(again.nodes.size(), 1u);
        EXPECT_TRUE(again.Text(0) == c.newText) << rewritten;
        EXPECT_TRUE(again.nodes[0].preservesSpace ||
                    (c.newText.front() != u' ' && c.newText.back() != u' '))
            << rewritten;
    }
}

DocxEntryReader ReaderOf(const std::map<std::string, std::string>& entries) {
    return [&entries](const std::string& name, const DocxAllocate& allocate) {
        DocxEntry entry;
        const auto found = entries.find(name);
        if (found != entries.end()) {
            entry.status = DocxEntryStatus::Read;
            if (!found->second.empty()) {
                std::memcpy(allocate(found->second.size()), found->second.data(),
                            found->second.size());
            }
        }
        return entry;
    };
}

const std::string kRootRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/2006/)"
    R"(relationships/officeDocument" Target="word/document.xml"/></Relationships>)";
const std::string kMainRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/2006/)"
    R"(relationships/header" Target="/word/../word/header1.xml"/></Relationships>)";
const std::string kMain =
    R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
    R"(<w:body><w:p><w:r><w:t>Am</w:t></w:r></w:p></w:body></w:document>)";

TEST(TransposeDocxParts, RefusesDocumentsItCannotReadWhole) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> entries;
    };
    const std::vector<Case> cases = {
        {"no relationships", {{"word/document.xml", kMain}}},
        {"main part missing", {{"_rels/.rels", kRootRels}}},
        {"relationships broken",
         {{"_rels/.rels", "<Relationships>"}, {"word/document.xml", kMain}}},
        {"main part broken", {{"_rels/.rels", kRootRels}, {"word/document.xml", "<w:document>"}}},
        {"header broken",
         {{"_rels/.rels", kRootRels},
          {"word/document.xml", kMain},
          {"word/_rels/document.xml.rels", kMainRels},
          {"word/header1.xml", "<w:hdr><w:p>"}}},
        {"document type declared",
         {{"_rels/.rels", kRootRels},
          {"word/document.xml", "<!DOCTYPE w:document [<!ENTITY c \"C\">]>" + kMain}}},
    };
    const NoteTable notes = BuildNoteTables();
    for (const Case& c : cases) {
        const DocxTransposition result =
            TransposeDocxParts(ReaderOf(c.entries), notes, TransposeSettings{.steps = 2});
        EXPECT_FALSE(result.readable) << c.what;
        EXPECT_FALSE(result.reason.empty()) << c.what;
        EXPECT_TRUE(result.replaced.empty()) << c.what;
    }
}

TEST(TransposeDocxParts, FollowsRelationshipsToHeaders) {
    const std::map<std::string, std::string> entries = {
        {"_rels/.rels", kRootRels},
        {"word/document.xml", kMain},
        {"word/_rels/document.xml.rels", kMainRels},
        {"word/header1.xml", kMain},
    };
    const DocxParts parts = FindDocxParts(ReaderOf(entries));
    EXPECT_EQ(parts.names, (std::vector<std::string>{"word/document.xml", "word/header1.xml"}));
}

}  // namespace
}  // namespace melvane
