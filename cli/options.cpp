#include "cli/options.h"

#include <charconv>

#include "melvane_version.h"

namespace melvane::cli {
namespace {

// "--name VALUE" or "--name=VALUE"; false when the value is missing.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value) {
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
        arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        return false;
    }
    value = args[++i];
    return true;
}

bool Names(const std::string& arg, const std::string& name) {
    return arg == name || arg.rfind(name + "=", 0) == 0;
}

}  // namespace

std::optional<NamedKey> ParseKeyName(std::string_view text, bool germanB) {
    if (text.empty()) {
        return std::nullopt;
    }
    const char first = text[0];
    const char letter = static_cast<char>(first >= 'a' ? first - 'a' + 'A' : first);
    constexpr std::string_view kLetters = "CDEFGAB";
    constexpr int kPitch[] = {0, 2, 4, 5, 7, 9, 11};
    int tonic = 0;
    if (letter == 'H') {
        tonic = 11;
    } else if (const std::size_t at = kLetters.find(letter); at != kLetters.npos) {
        tonic = kPitch[at];
    } else {
        return std::nullopt;
    }
    std::string_view rest = text.substr(1);
    const auto take = [&rest](std::string_view head) {
        if (rest.substr(0, head.size()) != head) {
            return false;
        }
        rest.remove_prefix(head.size());
        return true;
    };
    int accidental = 0;
    if (take("#") || (letter != 'B' && letter != 'H' && take("is"))) {
        accidental = 1;
    } else if (take("b") || ((letter == 'E' || letter == 'A') && take("s")) ||
               (letter != 'E' && letter != 'A' && letter != 'B' && letter != 'H' && take("es"))) {
        accidental = -1;
    } else if (letter == 'B' && germanB) {
        accidental = -1;
    }
    NamedKey key{(tonic + accidental + 12) % 12, std::nullopt};
    if (rest.empty()) {
        if (first >= 'a') {
            key.mode = chords::Mode::Minor;
        }
    } else if (rest == "m" || rest == "min" || rest == "-moll" || rest == "-Moll" ||
               rest == " minor") {
        key.mode = chords::Mode::Minor;
    } else if (rest == "-dur" || rest == "-Dur" || rest == " major" || rest == "maj") {
        key.mode = chords::Mode::Major;
    } else {
        return std::nullopt;
    }
    return key;
}

bool ParseSteps(const std::string& text, int& steps) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return false;  // one sign only
        }
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last || value < -12 || value > 12) {
        return false;
    }
    steps = value;
    return true;
}

Language LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang,
                            Language fallback) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value != nullptr && *value != '\0') {
            return std::string_view(value).substr(0, 2) == "de" ? Language::German
                                                                : Language::English;
        }
    }
    return fallback;
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    ParsedArguments result;
    Options& options = result.options;
    bool textMode = false;
    bool printMode = false;
    bool stepsGiven = false;
    bool spellingGiven = false;
    bool onlyFiles = false;
    const auto fail = [&result](std::string message) {
        result.ok = false;
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--help" || arg == "-h") {
            options.mode = Mode::Help;
            result.ok = true;
            return result;
        } else if (arg == "--version") {
            options.mode = Mode::Version;
            result.ok = true;
            return result;
        } else if (arg == "--text") {
            textMode = true;
        } else if (arg == "--print") {
            printMode = true;
        } else if (arg == "--word") {
            options.throughWord = true;
        } else if (arg == "--flats") {
            options.spelling = kSpellFlats;
            spellingGiven = true;
        } else if (arg == "--sharps") {
            options.spelling = kSpellSharps;
            spellingGiven = true;
        } else if (arg == "--by-key") {
            options.spelling = kSpellByKey;
            spellingGiven = true;
        } else if (arg == "--key") {
            options.listKeys = true;
        } else if (arg == "--up" || arg == "--down") {
            options.direction = arg == "--up" ? 1 : -1;
        } else if (Names(arg, "--to-key")) {
            std::string value;
            if (!TakeValue(args, i, "--to-key", value) || !ParseKeyName(value, true)) {
                result.message = Message::ToKeyUnknown;
                result.argument = value;
                return fail("--to-key needs a key");
            }
            options.toKey = value;
        } else if (arg == "--classic") {
            options.recognition = Recognition::Classic;
        } else if (Names(arg, "--names")) {
            std::string value;
            if (!TakeValue(args, i, "--names", value)) {
                return fail("--names needs german or english");
            }
            if (value == "german") {
                options.naming = NoteNaming::German;
            } else if (value == "english") {
                options.naming = NoteNaming::English;
            } else {
                return fail("--names must be german or english, not '" + value + "'");
            }
        } else if (arg == "--open") {
            options.openOutput = true;
        } else if (Names(arg, "--steps")) {
            std::string value;
            if (!TakeValue(args, i, "--steps", value)) {
                return fail("--steps needs a number from -12 to 12");
            }
            if (!ParseSteps(value, options.steps)) {
                return fail("--steps must be a whole number from -12 to 12, not '" + value + "'");
            }
            stepsGiven = true;
        } else if (Names(arg, "--lang")) {
            std::string value;
            if (!TakeValue(args, i, "--lang", value)) {
                return fail("--lang needs en or de");
            }
            if (value == "en") {
                options.language = Language::English;
            } else if (value == "de") {
                options.language = Language::German;
            } else {
                return fail("--lang must be en or de, not '" + value + "'");
            }
        } else if (arg == "-o" || Names(arg, "--output")) {
            std::string value;
            if (!TakeValue(args, i, arg == "-o" ? "-o" : "--output", value) || value.empty()) {
                return fail(arg + " needs the name of the output document");
            }
            options.output = value;
        } else {
            return fail("unknown option '" + arg + "'");
        }
    }

    if (options.recognition == Recognition::Classic) {
        if (spellingGiven && options.spelling == kSpellByKey) {
            result.message = Message::ByKeyNeedsSheetAware;
            return fail("--by-key does not go with --classic");
        }
        if (!spellingGiven) {
            options.spelling = kSpellSharps;  // as the classic scan always wrote
        }
    }
    if ((options.toKey && stepsGiven) || (options.direction != 0 && !options.toKey)) {
        result.message = Message::ToKeyWithSteps;
        return fail("--to-key replaces --steps");
    }
    // The steps come from the sheet's key, or nothing moves.
    stepsGiven = stepsGiven || options.toKey || options.listKeys;
    if (textMode) {
        if (!options.files.empty()) {
            return fail("unexpected argument '" + options.files.front() +
                        "': --text reads standard input");
        }
        if (printMode || options.output || options.openOutput || options.throughWord) {
            return fail("--text writes standard output: no --print, -o, --open or --word");
        }
        if (!stepsGiven) {
            return fail("--text needs --steps N");
        }
        options.mode = Mode::Text;
    } else if (printMode) {
        if (options.files.empty()) {
            return fail("--print needs at least one document");
        }
        if (options.output || options.openOutput || options.throughWord) {
            return fail("--print only shows documents: no -o, --open or --word");
        }
        options.mode = Mode::Print;
    } else if (options.listKeys) {
        if (options.files.empty()) {
            result.message = Message::KeyNeedsDocuments;
            return fail("--key needs documents");
        }
        options.mode = Mode::Keys;
    } else {
        if (options.files.empty()) {
            return fail("nothing to do: give documents or --text (see --help)");
        }
        if (!stepsGiven) {
            return fail("transposing documents needs --steps N");
        }
        if (options.output && options.files.size() != 1) {
            return fail("-o names the output of exactly one document, not " +
                        std::to_string(options.files.size()));
        }
        options.mode = Mode::Documents;
    }
    result.ok = true;
    return result;
}

TransposeSettings TransposeSettingsFor(const Options& options, Language language) {
    TransposeSettings settings;
    settings.steps = options.steps;
    settings.spelling = options.spelling;
    settings.recognition = options.recognition;
    settings.naming = options.naming;
    settings.germanReader = language == Language::German;
    return settings;
}

std::string UsageText() {
    return "Usage: melvane-cli (--steps N | --to-key KEY [--up|--down]) "
           "[--sharps|--flats|--by-key]\n"
           "                  [--classic] [--names german|english] [--lang en|de] [--open]\n"
           "                  [--word] [-o OUT] FILE...\n"
           "       melvane-cli --text (--steps N | --to-key KEY) [options as above]\n"
           "       melvane-cli --key FILE...      melvane-cli --text --key\n"
           "       melvane-cli --print FILE...\n"
           "\n"
           "Moves every chord symbol (Am, F#7, Bbmaj7, fis, Cis, Dm7b5, ...) by N semitones\n"
           "and keeps all other text as it is. The whole sheet is read first: chord lines,\n"
           "lower-case and German note names, and whether it writes H or B are taken from it.\n"
           "\n"
           "  FILE...       song sheets (.odt, .docx, .doc); each is written beside itself\n"
           "                as NAME+N.EXT (NAME-N.EXT going down, NAME_.EXT for 0)\n"
           "  -o OUT        write the one FILE to OUT instead\n"
           "  --steps N     semitones to move, -12 to 12 (0 only respells)\n"
           "  --to-key KEY  move the first song's key to KEY (Bb, F#m, fis; B is B-flat\n"
           "                with German names) the shorter way; --up / --down force it\n"
           "  --by-key      spell each song by its key, declared (Key: G, Tonart: G-Dur,\n"
           "                {key: G}) or found in its chords: Bb Gm Eb F, not A# Gm D# F;\n"
           "                the declared key moves too (the default)\n"
           "  --sharps      write every moved note with sharps (C#, F#, ...)\n"
           "  --flats       write every moved note with flats (Db, Eb, ...)\n"
           "  --key         print each song's key (declared or detected), move nothing\n"
           "  --classic     the classic scan: the table's chords only, piece by piece,\n"
           "                H for B-natural, B read as H; sharps unless --flats\n"
           "  --names german|english\n"
           "                write B-natural as H (german) or B (english) where the sheet\n"
           "                does not show it; default from the messages' language\n"
           "  --lang en|de  language of the messages; default from LC_ALL / LANG\n"
           "  --open        open each written document with its default application\n"
           "  --word        transpose .docx through Microsoft Word (Windows) like .doc\n"
           "  --text        read UTF-8 text from standard input, write it to standard output\n"
           "  --print       show the paragraphs of documents as plain text\n"
           "  --help        show this text\n"
           "  --version     show the version\n"
           "\n"
           "One line per document tells what was written. .docx (also .docm, .dotx, .dotm)\n"
           "is rewritten by Melvane itself; old .doc documents are transposed by Microsoft\n"
           "Word, so they need Word installed on Windows.\n"
           "Exit status: 0 done, 1 a document failed, 2 bad arguments.\n";
}

std::string VersionText() {
    return "melvane-cli " MELVANE_VERSION "\n";
}

}  // namespace melvane::cli
