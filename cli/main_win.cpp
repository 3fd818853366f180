#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/program.h"
#include "platform/console.h"
#include "platform/utf.h"

// wmain: the narrow argv would hold the arguments in the ANSI code page, which cannot carry
// every file name.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg(argv[i]);
        args.push_back(melvane::Utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
    }
    // The text filter is byte-exact: no CRLF translation and no end of input at ^Z.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // Messages in German ("würde") must not turn into the console code page's garbage.
    const melvane::ConsoleStreams console;
    return melvane::cli::RunProgram(args);
}
