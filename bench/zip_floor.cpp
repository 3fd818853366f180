#include "bench/zip_floor.h"

#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include "platform/temp_folder.h"

namespace melvane::bench {

bool UnpackAndRepackOnce(const std::filesystem::path& source, const std::filesystem::path& output) {
    TempFolder work("melvane-bench-unzip");
    int error = 0;
    zip_t* in = zip_open(source.c_str(), ZIP_RDONLY, &error);
    if (in == nullptr) {
        return false;
    }
    std::vector<std::string> names;
    std::vector<char> block(1 << 16);
    for (zip_int64_t i = 0; i < zip_get_num_entries(in, 0); ++i) {
        const std::string name = zip_get_name(in, static_cast<zip_uint64_t>(i), 0);
        names.push_back(name);
        const std::filesystem::path path = work.Path() / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream file(path, std::ios::binary);
        zip_file_t* entry = zip_fopen_index(in, static_cast<zip_uint64_t>(i), 0);
        for (zip_int64_t got;
             entry != nullptr && (got = zip_fread(entry, block.data(), block.size())) > 0;) {
            file.write(block.data(), got);
        }
        if (entry != nullptr) {
            zip_fclose(entry);
        }
    }
    zip_discard(in);
    zip_t* out = zip_open(output.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (out == nullptr) {
        return false;
    }
    for (const std::string& name : names) {
        zip_source_t* file = zip_source_file(out, (work.Path() / name).c_str(), 0, -1);
        const zip_int64_t index = zip_file_add(out, name.c_str(), file, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_discard(out);
            return false;
        }
        zip_set_file_compression(out, static_cast<zip_uint64_t>(index),
                                 name == "mimetype" ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (zip_close(out) != 0) {
        return false;
    }
    // On disk, as the transposition's output is before it gets its name.
    const int written = open(output.c_str(), O_RDONLY);
    const bool synced = written >= 0 && fsync(written) == 0;
    if (written >= 0) {
        close(written);
    }
    return synced;
}

}  // namespace melvane::bench
