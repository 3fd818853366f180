// Unpacking and repacking the zip container.
#include <gtest/gtest.h>

#include "odt/odt_container.h"
#include "odt_fixture.h"
#include "platform/temp_folder.h"

namespace melvane {
namespace {

namespace fs = std::filesystem;
using namespace testing_odt;

class ContainerTest : public testing::Test {
  protected:
    fs::path Zip(const std::vector<ZipItem>& items, const std::string& name = "in.zip") {
        const fs::path path = files_.Path() / name;
        WriteZip(path, items);
        return path;
    }

    TempFolder files_{"container-test"};
    TempFolder work_{".hiddenDir"};
    OdtEntryList entries_;
};

TEST_F(ContainerTest, RoundTripKeepsOrderNamesAndDataAndDropsFolders) {
    const std::vector<ZipItem> items = {
        {"mimetype", "application/vnd.oasis.opendocument.text", false, true},
        {"content.xml", "<r/>"},
        {"Pictures/", "", true},
        {"Pictures/z.png", std::string(3000, 'z')},
        {"Pictures/a.png", "a"},
        {"Bilder/B\xC3\xA4r \xC3\xBC.png", "umlaut"},
        {"empty.txt", ""},
        {"META-INF/manifest.xml", "<manifest/>"},
    };
    ASSERT_EQ(ExtractOdtContainer(Zip(items), work_.Path(), entries_), ExtractStatus::Extracted);
    ASSERT_EQ(entries_.size(), items.size());
    EXPECT_EQ(entries_[3].packedName, "Pictures/z.png");
    EXPECT_EQ(ReadFile(entries_[3].localPath), std::string(3000, 'z'));
    EXPECT_EQ(entries_[3].localPath, work_.Path() / "Pictures" / "z.png");

    const fs::path out = files_.Path() / "out.odt";
    ASSERT_TRUE(RepackOdtContainer(out, entries_));
    const std::vector<ZipEntryInfo> packed = ReadZip(out);
    std::vector<std::string> names;
    for (const auto& entry : packed)
        names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"mimetype", "content.xml", "Pictures/z.png",
                                               "Pictures/a.png", "Bilder/B\xC3\xA4r \xC3\xBC.png",
                                               "empty.txt", "META-INF/manifest.xml"}));
    for (const ZipItem& item : items) {
        if (!item.directory) {
            EXPECT_EQ(EntryData(packed, item.name), item.data) << item.name;
        }
    }
}

TEST_F(ContainerTest, MimetypeIsStoredAndKeepsItsPlaceEverythingElseIsDeflated) {
    // Even a source that compressed it gets it stored; a misplaced one is not moved.
    for (const bool first : {true, false}) {
        std::vector<ZipItem> items = {{"content.xml", "<r/>"}, {"styles.xml", "<s/>"}};
        const ZipItem mimetype = {"mimetype", "application/vnd.oasis.opendocument.text"};
        items.insert(first ? items.begin() : items.begin() + 1, mimetype);
        OdtEntryList entries;
        TempFolder work(".hiddenDir");
        ASSERT_EQ(ExtractOdtContainer(Zip(items), work.Path(), entries), ExtractStatus::Extracted);
        const fs::path out = files_.Path() / "out.odt";
        ASSERT_TRUE(RepackOdtContainer(out, entries));
        const std::vector<ZipEntryInfo> packed = ReadZip(out);
        ASSERT_EQ(packed.size(), 3u);
        const std::size_t at = first ? 0 : 1;
        EXPECT_EQ(packed[at].name, "mimetype");
        EXPECT_EQ(packed[at].method, 0);
        EXPECT_EQ(packed[at].data, mimetype.data);
        if (first) {
            EXPECT_EQ(packed[0].localHeaderOffset, 0u);
        }
        for (std::size_t i = 0; i < packed.size(); ++i) {
            if (i != at) {
                EXPECT_EQ(packed[i].method, 8) << packed[i].name;
            }
        }
    }
}

TEST_F(ContainerTest, EntryTimesAreKept) {
    const std::vector<ZipItem> items = {{"a.txt", "a", false, false, 1500000000},
                                        {"b.txt", "b", false, false, 1600000000}};
    ASSERT_EQ(ExtractOdtContainer(Zip(items), work_.Path(), entries_), ExtractStatus::Extracted);
    const fs::path out = files_.Path() / "out.odt";
    ASSERT_TRUE(RepackOdtContainer(out, entries_));
    const auto packed = ReadZip(out);
    ASSERT_EQ(packed.size(), 2u);
    EXPECT_EQ(packed[0].modified, 1500000000);
    EXPECT_EQ(packed[1].modified, 1600000000);
}

TEST(EntryNames, OnlyNamesThatStayInsideTheFolderAreSafe) {
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"content.xml", true},
        {"Pictures/a.png", true},
        {"a/./b", true},
        {"..a", true},
        {"a..", true},
        {"a/..b/c", true},
        {"Pictures\\a.png", true},
        {"", false},
        {"..", false},
        {"../evil", false},
        {"a/../../evil", false},
        {"a/..", false},
        {"a\\..\\..\\evil", false},
        {"/etc/evil", false},
        {"\\evil", false},
        {"C:evil", false},
        {"C:\\evil", false},
        {"c:/evil", false},
        {"a/../b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSafeEntryName(c.name), c.safe) << c.name;
    }
}

TEST_F(ContainerTest, UnsafeEntryNameRefusesTheDocumentAndWritesNothingOutside) {
    for (const char* name : {"../evil.txt", "sub/../../evil.txt", "/tmp/melvane-evil.txt"}) {
        TempFolder parent("unsafe");
        const fs::path work = parent.Path() / "work";
        fs::create_directory(work);
        OdtEntryList entries;
        EXPECT_EQ(ExtractOdtContainer(Zip({{"ok.txt", "fine"}, {name, "evil"}}), work, entries),
                  ExtractStatus::UnsafeName)
            << name;
        EXPECT_FALSE(fs::exists(parent.Path() / "evil.txt")) << name;
        EXPECT_FALSE(fs::exists("/tmp/melvane-evil.txt"));
    }
}

TEST_F(ContainerTest, UnreadableSourcesAreReportedAsSuch) {
    const fs::path text = files_.Path() / "song.odt";
    WriteFile(text, "Am  G  C\nnot a zip at all\n");
    const fs::path empty = files_.Path() / "empty.odt";
    WriteFile(empty, "");
    std::string whole = ReadFile(
        Zip({{"content.xml", std::string(200000, 'x')}, {"styles.xml", std::string(5000, 's')}}));
    const fs::path truncated = files_.Path() / "cut.odt";
    WriteFile(truncated, whole.substr(0, whole.size() / 2));
    for (const fs::path& source : {text, empty, truncated, files_.Path() / "missing.odt"}) {
        TempFolder work(".hiddenDir");
        OdtEntryList entries;
        EXPECT_EQ(ExtractOdtContainer(source, work.Path(), entries), ExtractStatus::Unreadable)
            << source;
    }
}

TEST_F(ContainerTest, ExpansionBeyondTheLimitsIsRefused) {
    const fs::path zip = Zip({{"a.txt", std::string(600, 'a')}, {"b.txt", std::string(600, 'b')}});
    ExtractLimits limits;
    limits.maxTotalBytes = 1000;
    EXPECT_EQ(ExtractOdtContainer(zip, work_.Path(), entries_, limits), ExtractStatus::TooLarge);
    EXPECT_FALSE(fs::exists(work_.Path() / "b.txt"));
    limits.maxTotalBytes = 1200;
    EXPECT_EQ(ExtractOdtContainer(zip, work_.Path(), entries_, limits), ExtractStatus::Extracted);
    limits.maxEntries = 1;
    EXPECT_EQ(ExtractOdtContainer(zip, work_.Path(), entries_, limits), ExtractStatus::TooLarge);
    EXPECT_EQ(ExtractLimits().maxTotalBytes, 1u << 30);
}

TEST_F(ContainerTest, EmptyZipGivesNoEntries) {
    ASSERT_EQ(ExtractOdtContainer(Zip({}), work_.Path(), entries_), ExtractStatus::Extracted);
    EXPECT_TRUE(entries_.empty());
}

TEST_F(ContainerTest, RepackFailureLeavesNoFileAndKeepsAnOldOne) {
    ASSERT_EQ(ExtractOdtContainer(Zip({{"a.txt", "a"}}), work_.Path(), entries_),
              ExtractStatus::Extracted);
    EXPECT_FALSE(RepackOdtContainer(files_.Path() / "missing" / "out.odt", entries_));
    EXPECT_FALSE(fs::exists(files_.Path() / "missing"));
    EXPECT_FALSE(RepackOdtContainer(fs::path(), entries_));

    // A folder in the way: the packing completes, the move into place cannot.
    const fs::path blocked = files_.Path() / "blocked.odt";
    fs::create_directory(blocked);
    WriteFile(blocked / "keep", "k");
    const auto before = std::distance(fs::directory_iterator(files_.Path()), {});
    EXPECT_FALSE(RepackOdtContainer(blocked, entries_));
    EXPECT_EQ(ReadFile(blocked / "keep"), "k");
    EXPECT_EQ(std::distance(fs::directory_iterator(files_.Path()), {}), before);
}

TEST(CreateFolderChain, CreatesMissingFoldersAndLeavesExistingOnes) {
    TempFolder root("chain");
    EXPECT_TRUE(CreateFolderChain(root.Path() / "a" / "b" / "c"));
    EXPECT_TRUE(fs::is_directory(root.Path() / "a" / "b" / "c"));
    EXPECT_TRUE(CreateFolderChain(root.Path() / "a" / "b" / "d" / ""));
    EXPECT_TRUE(fs::is_directory(root.Path() / "a" / "b" / "d"));
    WriteFile(root.Path() / "file", "x");
    EXPECT_FALSE(CreateFolderChain(root.Path() / "file" / "sub"));
}

}  // namespace
}  // namespace melvane
