#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "chords/note_table.h"
#include "cli/document_mode.h"
#include "cli/options.h"
#include "cli/program.h"
#include "cli/text_mode.h"
#include "documents/messages.h"
#include "platform/language.h"
#include "platform/shell.h"
#include "platform/user_messages.h"
#include "platform/utf.h"

int melvane::cli::RunProgram(const std::vector<std::string>& args) {
    using namespace melvane;
    const cli::ParsedArguments parsed = cli::ParseArguments(args);
    const cli::Options& options = parsed.options;
    const Language language = options.language.value_or(
        cli::LanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                std::getenv("LANG"), UserDefaultLanguage()));
    if (!parsed.ok) {
        std::cerr << "melvane-cli: "
                  << (parsed.message ? Utf16ToUtf8(MessageText(*parsed.message, language,
                                                               {Utf8ToUtf16(parsed.argument)}))
                                     : parsed.error)
                  << '\n';
        return 2;
    }
    switch (options.mode) {
        case cli::Mode::Help:
            std::cout << cli::UsageText();
            return 0;
        case cli::Mode::Version:
            std::cout << cli::VersionText();
            return 0;
        case cli::Mode::Text: {
            std::ios::sync_with_stdio(false);
            // Only the classic scan searches the table's 26 compiled patterns; a sheet-aware
            // filter starts without compiling them.
            const NoteTable table =
                options.recognition == Recognition::Classic ? BuildNoteTables() : NoteTable{};
            return cli::RunTextFilter(table, std::cin, std::cout, std::cerr, options, language);
        }
        case cli::Mode::Documents: {
            const NoteTable table = BuildNoteTables();
            StderrUserMessages messages;
            const std::unique_ptr<Shell> shell = CreateSystemShell();
            return cli::RunDocumentMode(table, options, language, messages, *shell, std::cout);
        }
        case cli::Mode::Keys: {
            StderrUserMessages messages;
            const std::unique_ptr<Shell> shell = CreateSystemShell();
            return cli::RunKeyMode(NoteTable{}, options, language, messages, *shell, std::cout);
        }
        case cli::Mode::Print:
            return cli::RunPrintMode(options, language, std::cout, std::cerr);
    }
    return 1;
}
