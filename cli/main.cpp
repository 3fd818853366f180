#include <iostream>
#include <string>
#include <vector>

#include "chords/note_table.h"
#include "cli/options.h"
#include "cli/program.h"
#include "cli/text_mode.h"

int melvane::cli::RunProgram(const std::vector<std::string>& args) {
    using namespace melvane;
    const cli::ParsedArguments parsed = cli::ParseArguments(args);
    if (!parsed.ok) {
        std::cerr << "melvane-cli: " << parsed.error << '\n';
        return 2;
    }
    switch (parsed.options.mode) {
        case cli::Mode::Help:
            std::cout << cli::UsageText();
            return 0;
        case cli::Mode::Version:
            std::cout << cli::VersionText();
            return 0;
        case cli::Mode::Text: {
            std::ios::sync_with_stdio(false);
            const NoteTable table = BuildNoteTables();
            if (!cli::RunTextMode(table, std::cin, std::cout, parsed.options.steps,
                                  parsed.options.spelling)) {
                std::cerr << "melvane-cli: could not write the output\n";
                return 1;
            }
            return 0;
        }
    }
    return 1;
}
