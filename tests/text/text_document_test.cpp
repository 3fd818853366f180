#include "text/text_document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "text/text_lines.h"

namespace melvane {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = MELVANE_TEXT_FIXTURES;

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

class TextDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ = fs::path(::testing::TempDir()) /
                ("text_document_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(work_);
        fs::create_directories(work_);
    }
    void TearDown() override { fs::remove_all(work_); }

    fs::path work_;
};

// Every encoding, line-end style and kind of sheet, through the document path and through a
// stream, in both recognitions: the expected bytes exactly.
TEST_F(TextDocumentTest, FixturesComeOutByteForByte) {
    std::ifstream manifest(kFixtures / "manifest.txt");
    int count = 0;
    for (std::string name; std::getline(manifest, name); ++count) {
        const fs::path source = kFixtures / name;
        fs::path expectedName = source.filename();
        expectedName.replace_extension(".expected" + source.extension().string());
        const std::string expected = Bytes(kFixtures / expectedName);
        for (const bool classic : {false, true}) {
            const TransposeSettings settings =
                classic ? ClassicSettings(2, 0) : TransposeSettings{.steps = 2};
            const fs::path output = work_ / name;
            const TextDocumentResult result =
                TransposeTextDocument(source, output, Notes(), settings);
            ASSERT_EQ(result.failure, TextFailure::None) << name;
            EXPECT_EQ(Bytes(output), expected) << name << " classic " << classic;

            std::istringstream in(Bytes(source));
            std::ostringstream streamed;
            struct : TextSink {
                std::ostringstream* out;
                bool Write(std::string_view bytes) override {
                    out->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                    return true;
                }
            } sink;
            sink.out = &streamed;
            TransposeTextStream(in, Notes(), settings, sink);
            EXPECT_EQ(streamed.str(), expected) << name << " streamed, classic " << classic;
        }
    }
    EXPECT_EQ(count, 40);
}

TEST_F(TextDocumentTest, RefusalsWriteNothing) {
    Write(work_ / "binary.txt", std::string("C G\0\n", 5));
    Write(work_ / "utf16.txt", std::string("\xFF\xFE"
                                           "C\0\n\0",
                                           6));
    Write(work_ / "empty.txt", "");
    { std::ofstream(work_ / "huge.txt"); }
    fs::resize_file(work_ / "huge.txt", kTextSizeLimit + 1);  // sparse: nothing is stored
    const struct {
        const char* source;
        TextFailure failure;
        std::string output;
    } cases[] = {
        {"binary.txt", TextFailure::NotText, ""},
        {"huge.txt", TextFailure::TooLarge, ""},
        {"missing.txt", TextFailure::SourceUnreadable, ""},
        {"utf16.txt", TextFailure::None,
         std::string("\xFF\xFE"
                     "D\0\n\0",
                     6)},
        {"empty.txt", TextFailure::None, ""},
    };
    for (const auto& c : cases) {
        const fs::path output = work_ / "out.txt";
        fs::remove(output);
        const TextDocumentResult result =
            TransposeTextDocument(work_ / c.source, output, Notes(), TransposeSettings{.steps = 2});
        EXPECT_EQ(result.failure, c.failure) << c.source;
        EXPECT_EQ(result.written, c.failure == TextFailure::None) << c.source;
        EXPECT_EQ(fs::exists(output), result.written) << c.source;
        if (result.written) {
            EXPECT_EQ(Bytes(output), c.output) << c.source;
        }
    }
    const TextDocumentResult nowhere = TransposeTextDocument(
        work_ / "utf16.txt", work_ / "no" / "such" / "folder.txt", Notes(), {});
    EXPECT_EQ(nowhere.failure, TextFailure::OutputNotCreated);
    EXPECT_FALSE(nowhere.reason.empty());
}

TEST_F(TextDocumentTest, ChordProByName) {
    // No line shows ChordPro here, but the name says it is: only the bracket moves.
    Write(work_ / "intro.cho", "Intro [C] G\n");
    TransposeTextDocument(work_ / "intro.cho", work_ / "out.cho", Notes(),
                          TransposeSettings{.steps = 2});
    EXPECT_EQ(Bytes(work_ / "out.cho"), "Intro [D] G\n");
}

}  // namespace
}  // namespace melvane
