#include "platform/user_messages.h"

#include <iostream>

#include "platform/utf.h"

namespace melvane {

void StderrUserMessages::Show(const UserMessage& message) {
    const std::u16string& text = message.text;
    // "\r\r" separates paragraphs in a box; on a terminal one line per paragraph reads better.
    std::u16string flat;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            while (i + 1 < text.size() && (text[i + 1] == u'\r' || text[i + 1] == u'\n'))
                ++i;
            flat += u' ';
        } else {
            flat += text[i];
        }
    }
    std::cerr << Utf16ToUtf8(message.title) << ": " << Utf16ToUtf8(flat) << std::endl;
}

}  // namespace melvane
