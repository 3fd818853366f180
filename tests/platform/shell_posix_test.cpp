// The system shell on POSIX: a stand-in xdg-open on PATH records how it was started.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/shell.h"
#include "platform/temp_folder.h"

namespace melvane {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

// Waits for a file the stand-in writes; the bound only keeps a broken run from hanging.
bool AwaitFile(const fs::path& path) {
    for (int i = 0; i < 1000 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(path);
}

class ShellTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        setenv("PATH", bin_.Path().c_str(), 1);
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    void InstallOpener(const std::string& body) {
        const fs::path script = bin_.Path() / "xdg-open";
        // PATH holds only the stand-in while the shell looks it up; the script needs the usual one.
        std::ofstream(script) << "#!/bin/sh\nPATH=/usr/bin:/bin\n" << body;
        chmod(script.c_str(), 0755);
    }

    TempFolder bin_{"shell-bin"};
    TempFolder out_{"shell-out"};
    std::string savedPath_;
};

TEST_F(ShellTest, OpensTheDocumentDetachedWithoutWaitingForTheViewer) {
    const fs::path log = out_.Path() / "log";
    const fs::path go = out_.Path() / "go";
    const fs::path done = out_.Path() / "done";
    // The stand-in records its argument, its session, its parent and its input, then waits for
    // the test to let it finish: OpenDocument must return while it still runs.
    InstallOpener(
        "read -r _ _ _ ppid _ sid _ < /proc/$$/stat\n"
        "printf '%s\\n%s\\n%s\\n' \"$1\" \"$sid\" \"$(readlink /proc/$$/fd/0)\" > " +
        log.string() + ".part\nmv " + log.string() + ".part " + log.string() +
        "\ni=0; while [ ! -e " + go.string() +
        " ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done\ntouch " + done.string() + "\n");
    const std::unique_ptr<Shell> shell = CreateSystemShell();
    const fs::path document = out_.Path() / "Song +2.odt";
    ASSERT_TRUE(shell->OpenDocument(document));
    EXPECT_FALSE(fs::exists(done));
    ASSERT_TRUE(AwaitFile(log));
    std::ifstream lines(log);
    std::string argument, session, input;
    std::getline(lines, argument);
    std::getline(lines, session);
    std::getline(lines, input);
    EXPECT_EQ(argument, document.string());
    EXPECT_NE(session, std::to_string(getsid(0)));
    EXPECT_EQ(input, "/dev/null");
    std::ofstream(go) << "";
    EXPECT_TRUE(AwaitFile(done));
}

TEST_F(ShellTest, RelativeDocumentIsPassedAsAnAbsolutePath) {
    const fs::path log = out_.Path() / "log";
    InstallOpener("printf '%s' \"$1\" > " + log.string() + ".part; mv " + log.string() + ".part " +
                  log.string() + "\n");
    ASSERT_TRUE(CreateSystemShell()->OpenDocument("-rf.odt"));
    ASSERT_TRUE(AwaitFile(log));
    EXPECT_EQ(ReadFile(log), (fs::current_path() / "-rf.odt").string());
}

TEST_F(ShellTest, OpensWebAddresses) {
    const fs::path log = out_.Path() / "log";
    InstallOpener("printf '%s' \"$1\" > " + log.string() + ".part; mv " + log.string() + ".part " +
                  log.string() + "\n");
    ASSERT_TRUE(CreateSystemShell()->OpenWebAddress(u"https://example.org/melvane?x=\u00E4"));
    ASSERT_TRUE(AwaitFile(log));
    EXPECT_EQ(ReadFile(log), "https://example.org/melvane?x=\xC3\xA4");
}

TEST_F(ShellTest, FailsQuietlyWithoutAnOpener) {
    const std::unique_ptr<Shell> shell = CreateSystemShell();
    EXPECT_FALSE(shell->OpenDocument("/tmp/song.odt"));
    EXPECT_FALSE(shell->OpenWebAddress(u"https://example.org"));
}

TEST_F(ShellTest, AnOpenerThatCannotBeStartedCountsAsFailure) {
    const fs::path script = bin_.Path() / "xdg-open";
    std::ofstream(script) << "#!/no/such/interpreter\n";
    chmod(script.c_str(), 0755);
    EXPECT_FALSE(CreateSystemShell()->OpenDocument("/tmp/song.odt"));
}

}  // namespace
}  // namespace melvane
