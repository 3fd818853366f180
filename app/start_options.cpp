#include "app/start_options.h"

namespace melvane {

StartOptions ReadStartOptions(const std::vector<std::u16string>& args) {
    StartOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::u16string& word = args[i];
        if (word == u"--classic") {
            options.classic = true;
            continue;
        }
        if (word.rfind(u"--", 0) != 0) {
            if (options.document.empty()) {
                options.document = word;
            }
            continue;
        }
        if (i + 1 >= args.size()) {
            break;
        }
        const std::u16string& value = args[++i];
        if (word == u"--snapshot") {
            options.snapshot = value;
        } else if (word == u"--document") {
            options.document = value;
        } else if (word == u"--startup-report") {
            options.startupReport = value;
        } else if (word == u"--steps") {
            options.steps = value;
        } else if (word == u"--tabs") {
            options.tabs = 0;
            for (char16_t digit : value) {
                if (digit < u'0' || digit > u'9' || options.tabs > 99) {
                    break;
                }
                options.tabs = options.tabs * 10 + (digit - u'0');
            }
        } else if (word == u"--language") {
            options.language = value == u"de" ? Language::German : Language::English;
        }
    }
    return options;
}

}  // namespace melvane
