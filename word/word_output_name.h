// Where the Word path saves when it is given no output name.
#pragma once

#include <string>
#include <string_view>

namespace melvane {

// The source's folder and name with "_NEU" before the extension, which is kept as written:
// "C:\Songs\Song.docx" gives "C:\Songs\Song_NEU.docx". Both "\" and "/" end a folder; a name
// without an extension just gets "_NEU".
std::u16string WordOutputPath(std::u16string_view sourcePath);

}  // namespace melvane
