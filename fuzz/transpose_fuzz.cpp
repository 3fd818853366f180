// libFuzzer target: any text, any step, either spelling. The scan must neither crash nor lose
// the shape of the text: the result has as many tokens as the input, separated by the same
// runs of spaces.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "chords/transpose.h"

namespace {

std::size_t CountTokens(std::u16string_view text) {
    std::size_t count = 0;
    for (std::size_t p = 0; p < text.size();) {
        if (text[p] == u' ') {
            ++p;
            continue;
        }
        ++count;
        ++p;
        while (p < text.size() && melvane::ContinuesToken(text[p]))
            ++p;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const melvane::NoteTable table = melvane::BuildNoteTables();
    if (size < 1) {
        return 0;
    }
    const int steps = static_cast<int>(data[0] % 25) - 12;
    const int spelling = (data[0] / 25) % 3;
    std::u16string text((size - 1) / 2, u'\0');
    std::memcpy(text.data(), data + 1, text.size() * 2);

    const std::u16string result = melvane::TransposeText(table, text, steps, spelling);
    if (CountTokens(result) != CountTokens(text)) {
        std::abort();
    }
    return 0;
}
