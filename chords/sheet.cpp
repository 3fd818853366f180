#include "chords/sheet.h"

#include "chords/transpose.h"

namespace melvane {

SheetTransposer::SheetTransposer(const NoteTable& table, const TransposeSettings& settings)
    : table_(table), settings_(settings) {}

void SheetTransposer::Learn(std::u16string_view) {}

std::vector<std::u16string> SheetTransposer::TransposeLine(
    const std::vector<std::u16string_view>& pieces) const {
    std::vector<std::u16string> moved;
    moved.reserve(pieces.size());
    for (std::u16string_view piece : pieces) {
        moved.push_back(TransposeText(table_, piece, settings_.steps, settings_.spelling));
    }
    return moved;
}

std::u16string SheetTransposer::TransposeLine(std::u16string_view line) const {
    return TransposeText(table_, line, settings_.steps, settings_.spelling);
}

}  // namespace melvane
