// Where Melvane lives on the web: shown in the window's link area and in error texts.
#pragma once

#include <string_view>

namespace melvane {

inline constexpr std::u16string_view kProjectAddress = u"https://melvane.org";
inline constexpr std::u16string_view kIssuesAddress = u"https://melvane.org/issues";

}  // namespace melvane
