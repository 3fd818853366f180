#include "cli/options.h"

#include <charconv>

namespace melvane::cli {

bool ParseSteps(const std::string& text, int& steps) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last || value < -12 || value > 12) {
        return false;
    }
    steps = value;
    return true;
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    ParsedArguments result;
    Options& options = result.options;
    bool textMode = false;
    bool stepsGiven = false;
    const auto fail = [&result](std::string message) {
        result.ok = false;
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.mode = Mode::Help;
            result.ok = true;
            return result;
        }
        if (arg == "--version") {
            options.mode = Mode::Version;
            result.ok = true;
            return result;
        }
        if (arg == "--text") {
            textMode = true;
        } else if (arg == "--flats") {
            options.spelling = 1;
        } else if (arg == "--sharps") {
            options.spelling = 0;
        } else if (arg == "--steps" || arg.rfind("--steps=", 0) == 0) {
            std::string value;
            if (arg == "--steps") {
                if (i + 1 >= args.size()) {
                    return fail("--steps needs a number from -12 to 12");
                }
                value = args[++i];
            } else {
                value = arg.substr(8);
            }
            if (!ParseSteps(value, options.steps)) {
                return fail("--steps must be a whole number from -12 to 12, not '" + value + "'");
            }
            stepsGiven = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option '" + arg + "'");
        } else {
            return fail("unexpected argument '" + arg + "'");
        }
    }
    if (!textMode) {
        return fail("nothing to do: give --text (see --help)");
    }
    if (!stepsGiven) {
        return fail("--text needs --steps N");
    }
    options.mode = Mode::Text;
    result.ok = true;
    return result;
}

std::string UsageText() {
    return "Usage: melvane-cli --text --steps N [--flats]\n"
           "\n"
           "Moves every chord symbol (Am, F#7, Bbmaj7, ...) by N semitones and keeps all\n"
           "other text as it is. German note names: H is the note below C; B is read as H.\n"
           "\n"
           "  --text        read UTF-8 text from standard input, write it to standard output\n"
           "  --steps N     semitones to move, -12 to 12 (0 only respells)\n"
           "  --flats       write the moved notes with flats (Db, Eb, ...); default sharps\n"
           "  --help        show this text\n"
           "  --version     show the version\n"
           "\n"
           "Exit status: 0 done, 1 failed, 2 bad arguments.\n";
}

std::string VersionText() { return "melvane-cli " MELVANE_VERSION "\n"; }

}  // namespace melvane::cli
