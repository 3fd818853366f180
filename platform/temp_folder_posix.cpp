#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace melvane {
namespace {

thread_local bool removeFailed = false;

int RemoveOne(const char* path, const struct stat*, int type, struct FTW*) {
    // Depth first: a folder comes after its contents. FTW_PHYS reports links as links.
    const int rc = type == FTW_DP ? rmdir(path) : unlink(path);
    if (rc != 0) {
        removeFailed = true;
    }
    return 0;
}

}  // namespace

std::filesystem::path TemporaryDirectory() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : folder;
}

bool RemoveTree(const std::filesystem::path& folder) {
    removeFailed = false;
    // Few descriptors at a time, so that deep trees cannot run out of them.
    if (nftw(folder.c_str(), &RemoveOne, 16, FTW_DEPTH | FTW_PHYS) != 0) {
        return false;
    }
    return !removeFailed;
}

TempFolder::TempFolder(std::string_view prefix, const std::filesystem::path& parent) {
    std::string pattern = (parent / std::string(prefix)).native() + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkdtemp makes a new folder with mode 0700 under a name no one else holds.
    if (mkdtemp(buffer.data()) != nullptr) {
        path_ = std::filesystem::path(buffer.data());
    }
}

}  // namespace melvane
