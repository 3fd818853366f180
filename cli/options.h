// Command-line arguments of melvane-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "chords/sheet.h"
#include "documents/messages.h"
#include "platform/user_messages.h"

namespace melvane::cli {

enum class Mode { Help, Version, Text, Documents, Print, Keys };

struct Options {
    Mode mode = Mode::Help;
    int steps = 0;
    int spelling = kSpellByKey;  // --sharps, --flats, --by-key; sharps with --classic
    Recognition recognition = Recognition::SheetAware;  // --classic
    NoteNaming naming = NoteNaming::Auto;               // --names german|english
    std::optional<Language> language;                   // --lang; otherwise the environment decides
    bool openOutput = false;                            // --open
    bool throughWord = false;                           // --word: .docx through Microsoft Word
    std::optional<std::string> output;                  // -o OUT, for exactly one document
    std::vector<std::string> files;                     // documents, as given
    std::optional<std::string> toKey;                   // --to-key KEY: the steps from the key
    int direction = 0;                                  // --up +1, --down -1
    bool listKeys = false;                              // --key: print keys, move nothing
};

// A key a user names: "Bb", "F#m", "fis", "Es-Dur", "a minor". A lower-case tonic is minor;
// `germanB`: a bare "B" is B-flat (German names), else B-natural.
struct NamedKey {
    int tonic;
    std::optional<chords::Mode> mode;  // when the name says it
};
std::optional<NamedKey> ParseKeyName(std::string_view text, bool germanB);

struct ParsedArguments {
    bool ok = false;
    Options options;
    std::string error;  // one line naming the problem when !ok
    // Or the problem as a message of the table, with its argument.
    std::optional<Message> message;
    std::string argument;
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
