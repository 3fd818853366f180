// Command-line arguments of melvane-cli.
#pragma once

#include <string>
#include <vector>

namespace melvane::cli {

enum class Mode { Help, Version, Text };

struct Options {
    Mode mode = Mode::Help;
    int steps = 0;
    int spelling = 0;  // 0 sharps, 1 flats
};

struct ParsedArguments {
    bool ok = false;
    Options options;
    std::string error;  // one line naming the problem when !ok
};

// `args` excludes the program name.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// Parses a step count: an optional sign and decimal digits, -12..12. False for anything else.
bool ParseSteps(const std::string& text, int& steps);

std::string UsageText();
std::string VersionText();

}  // namespace melvane::cli
