// Lines a guitarist writes beside the chords that are no chord line, though they hold note
// names: tablature ("e|---3---|"), the strings' names ("E A D G B e") and fingering charts
// ("D:  xx0232", "B |x 2=4=4=4=2|"). Their names are strings or shapes and stay as written.
#pragma once

#include <string_view>

namespace melvane::chords {

bool IsTablatureOrChart(std::u16string_view line);

}  // namespace melvane::chords
