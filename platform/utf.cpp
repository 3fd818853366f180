#include "platform/utf.h"

#include <cstdint>
#include <type_traits>

namespace melvane {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kEscapeBase = 0xDC00;  // escaped byte b becomes U+DC00 + b (b >= 0x80)

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at bytes[i] and its code point, or 0 when the bytes
// there are not one (overlong forms, surrogates and values above U+10FFFF included).
std::size_t DecodeOne(std::string_view bytes, std::size_t i, char32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const unsigned char lead = byte(0);
    const std::size_t left = bytes.size() - i;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (left < 2 || !IsContinuation(byte(1)))
            return 0;
        codePoint = (char32_t{lead} & 0x1F) << 6 | (byte(1) & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !IsContinuation(byte(1)) || !IsContinuation(byte(2)))
            return 0;
        if (lead == 0xE0 && byte(1) < 0xA0)
            return 0;  // overlong
        if (lead == 0xED && byte(1) >= 0xA0)
            return 0;  // surrogate
        codePoint =
            (char32_t{lead} & 0x0F) << 12 | (char32_t{byte(1)} & 0x3F) << 6 | (byte(2) & 0x3F);
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !IsContinuation(byte(1)) || !IsContinuation(byte(2)) ||
            !IsContinuation(byte(3)))
            return 0;
        if (lead == 0xF0 && byte(1) < 0x90)
            return 0;  // overlong
        if (lead == 0xF4 && byte(1) >= 0x90)
            return 0;  // above U+10FFFF
        codePoint = (char32_t{lead} & 0x07) << 18 | (char32_t{byte(1)} & 0x3F) << 12 |
                    (char32_t{byte(2)} & 0x3F) << 6 | (byte(3) & 0x3F);
        return 4;
    }
    return 0;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendDecoded(std::u16string& out, std::string_view bytes, bool escapeInvalid) {
    out.reserve(out.size() + bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        // Song sheets are mostly ASCII: a run of it is copied without decoding.
        std::size_t ascii = i;
        while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) {
            ++ascii;
        }
        if (ascii > i) {
            out.append(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                       bytes.begin() + static_cast<std::ptrdiff_t>(ascii));
            i = ascii;
            continue;
        }
        char32_t cp = 0;
        const std::size_t used = DecodeOne(bytes, i, cp);
        if (used == 0) {
            out.push_back(escapeInvalid ? static_cast<char16_t>(
                                              kEscapeBase + static_cast<unsigned char>(bytes[i]))
                                        : kReplacement);
            ++i;
        } else {
            AppendCodePoint(out, cp);
            i += used;
        }
    }
}

std::u16string Decode(std::string_view bytes, bool escapeInvalid) {
    std::u16string out;
    AppendDecoded(out, bytes, escapeInvalid);
    return out;
}

std::string Encode(std::u16string_view text, bool unescape) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t ascii = i;
        while (ascii < text.size() && text[ascii] < 0x80) {
            ++ascii;
        }
        if (ascii > i) {
            out.append(text.begin() + static_cast<std::ptrdiff_t>(i),
                       text.begin() + static_cast<std::ptrdiff_t>(ascii));
            i = ascii - 1;
            continue;
        }
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (unescape && unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
                out.push_back(static_cast<char>(unit - kEscapeBase));
            } else {
                AppendUtf8(out, kReplacement);
            }
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

}  // namespace

std::u16string DecodeUtf8Lossless(std::string_view bytes) {
    return Decode(bytes, true);
}
void AppendUtf8Lossless(std::u16string& out, std::string_view bytes) {
    AppendDecoded(out, bytes, true);
}
std::string EncodeUtf8Lossless(std::u16string_view text) {
    return Encode(text, true);
}
std::u16string Utf8ToUtf16(std::string_view bytes) {
    return Decode(bytes, false);
}
std::string Utf16ToUtf8(std::u16string_view text) {
    return Encode(text, false);
}

namespace {
constexpr bool kWidePaths = std::is_same_v<std::filesystem::path::value_type, wchar_t>;
}  // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    if constexpr (kWidePaths) {
        // Malformed bytes stay distinct (as lone surrogates) instead of all becoming U+FFFD.
        const std::u16string wide = DecodeUtf8Lossless(utf8);
        return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
    } else {
        return std::filesystem::path(std::string(utf8));
    }
}

std::string PathToUtf8(const std::filesystem::path& path) {
    if constexpr (kWidePaths) {
        const std::wstring wide = path.wstring();
        return EncodeUtf8Lossless(std::u16string(wide.begin(), wide.end()));
    } else {
        return path.string();
    }
}

}  // namespace melvane
