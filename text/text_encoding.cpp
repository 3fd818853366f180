#include "text/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/utf.h"

namespace melvane {
namespace {

// Windows-1252's 0x80..0x9F; the undefined five keep their own value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char Windows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

bool FindByteOrderMark(std::string_view bytes, TextFormat& format) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        format = {TextEncoding::Utf8, 3};
    } else if (bytes.starts_with("\xFF\xFE")) {
        format = {TextEncoding::Utf16LE, 2};
    } else if (bytes.starts_with("\xFE\xFF")) {
        format = {TextEncoding::Utf16BE, 2};
    } else {
        return false;
    }
    return true;
}

TextFormat DetectTextFormat(std::string_view bytes) {
    TextFormat format;
    if (FindByteOrderMark(bytes, format)) {
        return format;
    }
    return {EncodingWithoutMark(bytes), 0};
}

TextEncoding EncodingWithoutMark(std::string_view bytes) {
    bool invalid = false;
    bool beyondAscii = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end) {
        // Song sheets are mostly ASCII: eight bytes at a time while they are.
        if (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, 8);
            if ((block & 0x8080808080808080u) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;   // the second byte's range excludes overlong forms,
        unsigned char high = 0xBF;  // surrogates and values above U+10FFFF
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length > 0 && static_cast<std::size_t>(end - p) >= length && p[1] >= low &&
                     p[1] <= high;
        for (std::size_t k = 2; valid && k < length; ++k) {
            valid = IsContinuation(p[k]);
        }
        if (valid) {
            beyondAscii = true;
            p += length;
        } else {
            invalid = true;
            ++p;
        }
        if (invalid && beyondAscii) {
            break;
        }
    }
    return invalid && !beyondAscii ? TextEncoding::Windows1252 : TextEncoding::Utf8;
}

void AppendDecoded(std::u16string& out, std::string_view bytes, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            AppendUtf8Lossless(out, bytes);
            return;
        case TextEncoding::Windows1252: {
            const std::size_t start = out.size();
            out.resize(start + bytes.size());
            char16_t* to = out.data() + start;
            for (const char byte : bytes) {
                const auto b = static_cast<unsigned char>(byte);
                *to++ = b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t{b};
            }
            return;
        }
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE: {
            const bool little = encoding == TextEncoding::Utf16LE;
            const std::size_t units = bytes.size() / 2;
            const std::size_t start = out.size();
            out.resize(start + units);
            for (std::size_t i = 0; i < units; ++i) {
                const auto first = static_cast<unsigned char>(bytes[2 * i]);
                const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
                out[start + i] =
                    static_cast<char16_t>(little ? second << 8 | first : first << 8 | second);
            }
            return;
        }
    }
}

void AppendEncoded(std::string& out, std::u16string_view text, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            // Chords are ASCII: most changed pieces need no conversion beyond widening.
            if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
                out.append(text.begin(), text.end());
            } else {
                out += EncodeUtf8Lossless(text);
            }
            return;
        case TextEncoding::Windows1252:
            for (const char16_t c : text) {
                out.push_back(Windows1252Byte(c));
            }
            return;
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE: {
            const bool little = encoding == TextEncoding::Utf16LE;
            for (const char16_t c : text) {
                const char high = static_cast<char>(c >> 8);
                const char low = static_cast<char>(c & 0xFF);
                out.push_back(little ? low : high);
                out.push_back(little ? high : low);
            }
            return;
        }
    }
}

}  // namespace melvane
