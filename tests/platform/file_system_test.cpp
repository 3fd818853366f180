// Work folders, atomic output files, file identity and the detached opener.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/file_system.h"
#include "platform/temp_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace melvane {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

std::size_t CountEntries(const fs::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

TEST(TempFolder, EachRunGetsAFreshFolderThatIsRemovedWithItsContents) {
    fs::path first;
    fs::path second;
    {
        TempFolder a(".hiddenDir");
        TempFolder b(".hiddenDir");
        ASSERT_TRUE(a.IsCreated());
        ASSERT_TRUE(b.IsCreated());
        first = a.Path();
        second = b.Path();
        EXPECT_NE(first, second);
        EXPECT_EQ(first.parent_path(), TemporaryDirectory());
        EXPECT_EQ(first.filename().string().rfind(".hiddenDir", 0), 0u);
        EXPECT_EQ(CountEntries(first), 0u);
        fs::create_directories(first / "Pictures" / "deep");
        WriteFile(first / "Pictures" / "deep" / "a.png", "png");
        WriteFile(first / "content.xml", "<r/>");
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
}

TEST(TempFolder, MovedFolderIsRemovedOnceByItsNewOwner) {
    TempFolder outer("move-test");
    fs::path path;
    {
        TempFolder inner(".hiddenDir", outer.Path());
        path = inner.Path();
        TempFolder taken(std::move(inner));
        EXPECT_FALSE(inner.IsCreated());
        EXPECT_TRUE(fs::exists(path));
        EXPECT_EQ(taken.Path(), path);
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(TempFolder(".hiddenDir", outer.Path() / "missing").IsCreated());
}

#ifndef _WIN32
TEST(TempFolder, OnlyTheOwnerMayEnterIt) {
    TempFolder folder(".hiddenDir");
    struct stat info {};
    ASSERT_EQ(stat(folder.Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(TempFolder, RemovalNeverFollowsLinks) {
    TempFolder outside("outside");
    WriteFile(outside.Path() / "keep.txt", "precious");
    fs::path removed;
    {
        TempFolder work(".hiddenDir");
        removed = work.Path();
        fs::create_directory_symlink(outside.Path(), work.Path() / "dir-link");
        fs::create_symlink(outside.Path() / "keep.txt", work.Path() / "file-link");
        fs::create_directory(work.Path() / "sub");
        fs::create_directory_symlink(outside.Path(), work.Path() / "sub" / "nested-link");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(removed)));
    EXPECT_EQ(ReadFile(outside.Path() / "keep.txt"), "precious");
}

TEST(TempFolder, DeepTreesAreRemovedCompletely) {
    fs::path removed;
    {
        TempFolder work(".hiddenDir");
        removed = work.Path();
        // Deeper than the usual limit of open descriptors, built level by level.
        int level = open(work.Path().c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < 1100 && level >= 0; ++i) {
            ASSERT_EQ(mkdirat(level, "d", 0700), 0);
            const int next = openat(level, "d", O_RDONLY | O_DIRECTORY);
            close(level);
            level = next;
        }
        ASSERT_GE(level, 0);
        close(openat(level, "f", O_CREAT | O_WRONLY, 0600));
        close(level);
    }
    EXPECT_FALSE(fs::exists(removed));
}
#endif

TEST(AtomicFile, CommittedFileAppearsWhole) {
    TempFolder folder("atomic");
    const fs::path target = folder.Path() / "song+2.odt";
    AtomicFile file(target);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.TemporaryPath().parent_path(), folder.Path());
    EXPECT_TRUE(file.Write("abc", 3));
    EXPECT_TRUE(file.Write("def", 3));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(target), "abcdef");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(AtomicFile, UncommittedFileLeavesTheOldOneAndNoTrace) {
    TempFolder folder("atomic");
    const fs::path target = folder.Path() / "song+2.odt";
    WriteFile(target, "old document");
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.IsOpen());
        file.Write("half", 4);
    }
    EXPECT_EQ(ReadFile(target), "old document");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(AtomicFile, CommitReplacesAnExistingFile) {
    TempFolder folder("atomic");
    const fs::path target = folder.Path() / "out.odt";
    WriteFile(target, "old");
    AtomicFile file(target);
    file.Write("new", 3);
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(AtomicFile, NoFileForAnEmptyNameOrAMissingFolder) {
    TempFolder folder("atomic");
    EXPECT_FALSE(AtomicFile(fs::path()).IsOpen());
    AtomicFile missing(folder.Path() / "no-such-folder" / "x.odt");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.Write("x", 1));
    EXPECT_FALSE(missing.Commit());
}

TEST(AtomicFile, CommitOntoAFolderFailsAndCleansUp) {
    TempFolder folder("atomic");
    const fs::path target = folder.Path() / "taken";
    fs::create_directory(target);
    WriteFile(target / "inside", "x");
    AtomicFile file(target);
    ASSERT_TRUE(file.IsOpen());
    file.Write("data", 4);
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(AtomicFile, TheTemporaryNameFitsBesideAnyNameAndSeekingOverwrites) {
    TempFolder folder("atomic");
    // The longest name most file systems take: no temporary name may be built from it.
    const fs::path target = folder.Path() / (std::string(251, 'n') + ".odt");
    AtomicFile file(target);
    ASSERT_TRUE(file.IsOpen()) << file.LastErrorText();
    EXPECT_LE(file.TemporaryPath().filename().string().size(), 16u);
    EXPECT_TRUE(file.Write("abcdef", 6));
    EXPECT_TRUE(file.Seek(1));
    EXPECT_TRUE(file.Write("XY", 2));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(target), "aXYdef");
}

#ifndef _WIN32
TEST(AtomicFile, AnInterruptedProgramLeavesNoTemporaryFile) {
    TempFolder folder("atomic");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AtomicFile file(folder.Path() / "song+2.odt");
            file.Write("half a document", 15);
            raise(signal);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(CountEntries(folder.Path()), 0u) << signal;
    }
}
#endif

TEST(IsSameFile, SeesThroughOtherSpellingsOfOnePath) {
    TempFolder folder("same");
    const fs::path song = folder.Path() / "song.odt";
    WriteFile(song, "x");
    WriteFile(folder.Path() / "other.odt", "x");
    EXPECT_TRUE(IsSameFile(song, song));
    EXPECT_TRUE(IsSameFile(song, folder.Path() / "." / "song.odt"));
    EXPECT_FALSE(IsSameFile(song, folder.Path() / "other.odt"));
    EXPECT_FALSE(IsSameFile(song, folder.Path() / "new.odt"));
#ifndef _WIN32
    fs::create_symlink(song, folder.Path() / "link.odt");
    EXPECT_TRUE(IsSameFile(song, folder.Path() / "link.odt"));
    fs::create_hard_link(song, folder.Path() / "hard.odt");
    EXPECT_TRUE(IsSameFile(folder.Path() / "hard.odt", song));
#endif
}

TEST(PathText, RoundTripsNamesBeyondAscii) {
    const std::u16string name = u"Lieder/B\u00E4r \u00FCber \U0001D11E.odt";
    EXPECT_TRUE(PathToText(PathFromText(name)) == name);
    EXPECT_TRUE(PathToText(PathFromUtf8("B\xC3\xA4r.odt")) == u"B\u00E4r.odt");
}

}  // namespace
}  // namespace melvane
