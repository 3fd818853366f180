#include "platform/console.h"

#include "platform/utf.h"

namespace melvane {
namespace {

// The length a UTF-8 sequence announces in its lead byte; 0 for a byte that cannot lead one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Where the last complete sequence ends: a lead byte among the last three whose sequence runs
// past the end is held back with what follows it.
std::size_t CompletePart(std::string_view bytes) {
    const std::size_t size = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80) {
            continue;  // a continuation byte: its lead lies further back
        }
        const std::size_t length = SequenceLength(byte);
        return length > back ? size - back : size;
    }
    return size;
}

}  // namespace

std::u16string Utf8PieceDecoder::Decode(std::string_view piece) {
    pending_.append(piece);
    const std::size_t complete = CompletePart(pending_);
    std::u16string text = Utf8ToUtf16(std::string_view(pending_).substr(0, complete));
    pending_.erase(0, complete);
    return text;
}

std::u16string Utf8PieceDecoder::Finish() {
    std::u16string text = Utf8ToUtf16(pending_);
    pending_.clear();
    return text;
}

}  // namespace melvane
