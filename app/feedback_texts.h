// The window's own feedback after a transposition: what it asks and tells about the output.
#pragma once

#include <string>

#include "platform/user_messages.h"

namespace melvane {

// Before an existing file is replaced.
UserMessage OverwriteQuestion(Language language, const std::u16string& path);
// The output was written but could not be opened for the user to see.
UserMessage SavedWhereMessage(Language language, const std::u16string& path);

}  // namespace melvane
