#include "cli/output_name.h"

#include <string>

#include "platform/file_system.h"

namespace melvane::cli {
namespace {

std::u16string LowerCaseAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

std::u16string ExtensionText(const std::filesystem::path& path) {
    std::u16string extension = PathToText(path.extension());
    if (!extension.empty() && extension.front() == u'.') {
        extension.erase(0, 1);
    }
    return LowerCaseAscii(extension);
}

}  // namespace

std::string LowerCaseExtension(const std::filesystem::path& path) {
    const std::u16string extension = ExtensionText(path);
    std::string ascii;
    for (const char16_t c : extension) {
        ascii += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return ascii;
}

std::filesystem::path ProposeOutputPath(const std::filesystem::path& source, std::int64_t steps) {
    std::u16string name = PathToText(source.stem());
    if (steps == 0) {
        name += u'_';
    } else {
        if (steps > 0) {
            name += u'+';
        }
        const std::string digits = std::to_string(steps);
        name.append(digits.begin(), digits.end());
    }
    name += u'.';
    name += ExtensionText(source);
    return source.parent_path() / PathFromText(name);
}

}  // namespace melvane::cli
