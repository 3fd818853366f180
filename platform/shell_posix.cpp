#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/shell.h"
#include "platform/utf.h"

extern char** environ;

namespace melvane {
namespace {

// The program's full path from PATH, looked up before forking so the child only has to exec.
std::string FindProgram(const std::string& name) {
    const char* searchPath = std::getenv("PATH");
    std::string paths = searchPath != nullptr ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= paths.size()) {
        std::size_t end = paths.find(':', start);
        if (end == std::string::npos) {
            end = paths.size();
        }
        std::string candidate = end > start ? paths.substr(start, end - start) : ".";
        candidate.append(1, '/').append(name);
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Starts `program argument` in a new session, with standard streams on /dev/null, and does
// not wait for it: the intermediate child exits at once and the program is adopted by init.
// True when the program could be started.
bool LaunchDetached(const std::string& program, const std::string& argument) {
    const std::string executable = FindProgram(program);
    if (executable.empty()) {
        return false;
    }
    char* const argv[] = {const_cast<char*>(executable.c_str()),
                          const_cast<char*>(argument.c_str()), nullptr};

    // Closed by a successful exec; a failed one sends its errno through it.
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(status[0]);
        close(status[1]);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild != 0) {
            _exit(grandchild < 0 ? 1 : 0);
        }
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
            if (devNull > 2) {
                close(devNull);
            }
        }
        execve(executable.c_str(), argv, environ);
        const int error = errno;
        [[maybe_unused]] const ssize_t sent = write(status[1], &error, sizeof error);
        _exit(127);
    }
    close(status[1]);
    int childStatus = 0;
    while (waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }
    int execError = 0;
    ssize_t got = 0;
    do {
        got = read(status[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(status[0]);
    const bool forked = WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0;
    return forked && got == 0;
}

class PosixShell : public Shell {
  public:
    bool OpenDocument(const std::filesystem::path& document) override {
        // Absolute, so that a name starting with "-" cannot pass for an option.
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(document, error);
        return LaunchDetached("xdg-open", (error ? document : full).native());
    }

    bool OpenWebAddress(const std::u16string& address) override {
        if (address.empty() || address.front() == u'-') {
            return false;
        }
        return LaunchDetached("xdg-open", Utf16ToUtf8(address));
    }
};

}  // namespace

std::unique_ptr<Shell> CreateSystemShell() {
    return std::make_unique<PosixShell>();
}

}  // namespace melvane
