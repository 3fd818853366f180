#pragma once

#include <cstdint>

#include "platform/user_messages.h"

namespace melvane {

// The language from a Windows language identifier: German for every German-speaking
// region, English for everything else.
constexpr Language ChooseLanguage(std::uint16_t languageId) {
    constexpr std::uint16_t kPrimaryLanguageMask = 0x3FF;
    constexpr std::uint16_t kLangGerman = 0x07;
    return (languageId & kPrimaryLanguageMask) == kLangGerman ? Language::German
                                                              : Language::English;
}

// The user's own language as the system keeps it: the Windows user language; English where the
// system has no such setting (elsewhere the environment's locale says it).
Language UserDefaultLanguage();

}  // namespace melvane
