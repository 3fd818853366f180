#include "platform/temp_folder.h"

#include <utility>

namespace melvane {

TempFolder::~TempFolder() {
    Remove();
}

TempFolder::TempFolder(TempFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

bool TempFolder::Remove() {
    if (path_.empty()) {
        return true;
    }
    const bool removed = RemoveTree(path_);
    path_.clear();
    return removed;
}

}  // namespace melvane
