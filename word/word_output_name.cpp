#include "word/word_output_name.h"

namespace melvane {

std::u16string WordOutputPath(std::u16string_view sourcePath) {
    const std::size_t folderEnd = sourcePath.find_last_of(u"\\/");
    const std::size_t nameStart = folderEnd == std::u16string_view::npos ? 0 : folderEnd + 1;
    const std::size_t dot = sourcePath.rfind(u'.');
    if (dot == std::u16string_view::npos || dot < nameStart) {
        // Without this a dot in a folder name would be taken for the extension.
        return std::u16string(sourcePath) + u"_NEU";
    }
    return std::u16string(sourcePath.substr(0, dot)) + u"_NEU" +
           std::u16string(sourcePath.substr(dot));
}

}  // namespace melvane
