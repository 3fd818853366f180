#include <iostream>
#include <string>
#include <vector>

#include "chords/note_table.h"
#include "cli/options.h"
#include "cli/text_mode.h"

int main(int argc, char** argv) {
    using namespace melvane;
    const std::vector<std::string> args(argv + 1, argv + argc);
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
