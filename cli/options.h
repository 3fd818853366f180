// Command-line arguments of melvane-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "chords/sheet.h"
#include "platform/user_messages.h"

namespace melvane::cli {

enum class Mode { Help, Version, Text, Documents, Print };

struct Options {
    Mode mode = Mode::Help;
    int steps = 0;
    int spelling = 0;                                   // 0 sharps, 1 flats
    Recognition recognition = Recognition::SheetAware;  // --classic
    NoteNaming naming = NoteNaming::Auto;               // --names german|english
    std::optional<Language> language;                   // --lang; otherwise the environment decides
    bool openOutput = false;                            // --open
    bool throughWord = false;                           // --word: .docx through Microsoft Word
    std::optional<std::string> output;                  // -o OUT, for exactly one document
    std::vector<std::string> files;                     // documents, as given
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

// German when the locale the environment sets for messages (LC_ALL, else LC_MESSAGES, else
// LANG; the first that is set and not empty) starts with "de", English otherwise; `fallback`
// when none is set (on Windows, where they rarely are, the user's language).
Language LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang,
                            Language fallback = Language::English);

// What the chord engine needs from the options; `language` is the messages' language, which
// decides B or H where the sheet does not.
TransposeSettings TransposeSettingsFor(const Options& options, Language language);

std::string UsageText();
std::string VersionText();

}  // namespace melvane::cli
