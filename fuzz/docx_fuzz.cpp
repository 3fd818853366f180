// libFuzzer target: any bytes as a Word document part. Reading must not crash, and whatever
// reads is rewritten into a part that reads again with exactly the transposed texts in the same
// places. The first byte chooses the step and the recognition.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "docx/docx_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const melvane::NoteTable notes = melvane::BuildNoteTables();
    if (size < 1) {
        return 0;
    }
    melvane::TransposeSettings settings;
    settings.steps = static_cast<int>(data[0] % 25) - 12;
    settings.spelling = data[0] & 1;
    settings.recognition =
        (data[0] & 2) != 0 ? melvane::Recognition::Classic : melvane::Recognition::SheetAware;
    melvane::DocxPart part;
    if (!melvane::ParseDocxPart(std::string(reinterpret_cast<const char*>(data + 1), size - 1),
                                part)
             .parsed) {
        return 0;
    }
    std::vector<melvane::DocxPart> parts(1);
    parts[0] = std::move(part);
    melvane::DocxLines lines(parts);
    melvane::TransposeLines(lines, notes, settings);
    part = std::move(parts[0]);

    melvane::DocxPart again;
    if (!melvane::ParseDocxPart(melvane::RewriteDocxPart(part), again).parsed ||
        again.nodes.size() != part.nodes.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < part.nodes.size(); ++i) {
        if (again.Text(i) != part.FinalText(i)) {
            std::abort();
        }
    }
    return 0;
}
