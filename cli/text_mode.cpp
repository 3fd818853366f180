#include "cli/text_mode.h"

#include <string>
#include <vector>

#include "chords/transpose.h"
#include "platform/utf.h"

namespace melvane::cli {
namespace {

void TransposeLine(const NoteTable& table, std::string_view line, std::ostream& out, int steps,
                   int spelling) {
    // A line feed never occurs inside a UTF-8 sequence, so each line decodes on its own.
    const std::u16string text = DecodeUtf8Lossless(line);
    out << EncodeUtf8Lossless(TransposeText(table, text, steps, spelling));
}

}  // namespace

bool RunTextMode(const NoteTable& table, std::istream& in, std::ostream& out, int steps,
                 int spelling) {
    std::vector<char> buffer(1 << 16);
    std::string pending;  // an unfinished line carried over to the next read
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        std::string_view chunk(buffer.data(), got);
        for (std::size_t newline = chunk.find('\n'); newline != std::string_view::npos;
             newline = chunk.find('\n')) {
            if (pending.empty()) {
                TransposeLine(table, chunk.substr(0, newline + 1), out, steps, spelling);
            } else {
                pending.append(chunk.substr(0, newline + 1));
                TransposeLine(table, pending, out, steps, spelling);
                pending.clear();
            }
            chunk.remove_prefix(newline + 1);
        }
        pending.append(chunk);
    }
    if (!pending.empty()) {
        TransposeLine(table, pending, out, steps, spelling);
    }
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace melvane::cli
