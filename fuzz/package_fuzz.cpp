// libFuzzer target: any bytes as an .odt package, through the whole OpenDocument path. Nothing
// may crash, and a run either writes a package that opens again or writes nothing at all.
//
// Built as package_flip_fuzz (MELVANE_FLIP_BITS), the input instead picks one bit of a sound
// package's untouched entries (their stored or deflated data) to flip: such a package must be
// refused with a message and nothing written, for every bit.
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "chords/note_table.h"
#include "odt/odt_document.h"
#include "package/package.h"
#include "package/zip_layout.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
    static const fs::path folder = [] {
        fs::path made =
            fs::temp_directory_path() / ("melvane-package-fuzz-" + std::to_string(std::rand()));
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

void WriteBytes(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream(path, std::ios::binary)
        .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

#ifdef MELVANE_FLIP_BITS

struct SoundPackage {
    std::string bytes;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;  // data of untouched entries
    std::uint64_t bits = 0;
};

// An office suite's kind of package: mimetype stored, the parts deflated (a picture of noise as
// stored blocks inside deflate), a folder, a stored picture.
SoundPackage MakeSoundPackage() {
    std::mt19937 rng(3);
    std::string noise(2000, '\0');
    for (char& byte : noise) {
        byte = static_cast<char>(rng());
    }
    const std::pair<const char*, std::string> parts[] = {
        {"mimetype", "application/vnd.oasis.opendocument.text"},
        {"content.xml",
         "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:"
         "1.0\" xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>"
         "<office:text><text:p>Am C G</text:p></office:text></office:body>"
         "</office:document-content>"},
        {"styles.xml",
         "<office:document-styles><style:style style:name=\"Chords\"/>"
         "<style:style style:name=\"Lyrics\"/></office:document-styles>"},
        {"Pictures/", ""},
        {"Pictures/noise.png", noise},
        {"Pictures/stored.bin", noise.substr(0, 300)},
        {"META-INF/manifest.xml", "<manifest:manifest><manifest:file-entry/></manifest:manifest>"},
    };
    const fs::path path = Folder() / "sound.odt";
    int error = 0;
    zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& [name, data] : parts) {
        const std::string entry = name;
        if (entry.back() == '/') {
            zip_dir_add(archive, name, 0);
            continue;
        }
        zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
        const auto index = static_cast<zip_uint64_t>(zip_file_add(archive, name, source, 0));
        const bool stored = entry == "mimetype" || entry == "Pictures/stored.bin";
        zip_set_file_compression(archive, index, stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (archive == nullptr || zip_close(archive) != 0) {
        std::abort();
    }
    SoundPackage sound;
    std::ifstream in(path, std::ios::binary);
    sound.bytes.assign(std::istreambuf_iterator<char>(in), {});
    const melvane::zip_layout::ReadAt read = [&sound](std::uint64_t offset, void* data,
                                                      std::size_t size) {
        if (offset > sound.bytes.size() || size > sound.bytes.size() - offset) {
            return false;
        }
        std::memcpy(data, sound.bytes.data() + offset, size);
        return true;
    };
    melvane::zip_layout::Directory directory;
    if (!melvane::zip_layout::ReadDirectory(read, sound.bytes.size(), directory).empty()) {
        std::abort();
    }
    for (const melvane::zip_layout::Entry& entry : directory.entries) {
        unsigned char header[30];
        read(entry.localOffset, header, sizeof header);
        const std::uint64_t start = entry.localOffset + 30 + (header[26] | header[27] << 8) +
                                    (header[28] | header[29] << 8);
        if (entry.name != "content.xml" && entry.compressedSize > 0) {
            sound.spans.emplace_back(start, entry.compressedSize);
            sound.bits += entry.compressedSize * 8;
        }
    }
    // Unflipped, it must go through: otherwise every refusal below proves nothing.
    const melvane::NoteTable notes = melvane::BuildNoteTables();
    melvane::TransposeSettings transpose;
    transpose.steps = 2;
    if (!melvane::TransposeOdtDocument(path, Folder() / "sound+2.odt", notes, transpose)
             .outputWritten) {
        std::fprintf(stderr, "the sound package was refused\n");
        std::abort();
    }
    return sound;
}

#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const melvane::NoteTable notes = melvane::BuildNoteTables();
    const fs::path source = Folder() / "in.odt";
    const fs::path output = Folder() / "out.odt";
#ifdef MELVANE_FLIP_BITS
    static const SoundPackage sound = MakeSoundPackage();
    std::uint64_t choice = 0;
    std::memcpy(&choice, data, std::min(size, sizeof choice));
    std::uint64_t bit = choice % sound.bits;
    std::string damaged = sound.bytes;
    for (const auto& [start, length] : sound.spans) {
        if (bit < length * 8) {
            damaged[start + bit / 8] = static_cast<char>(damaged[start + bit / 8] ^ 1 << bit % 8);
            break;
        }
        bit -= length * 8;
    }
    WriteBytes(source, damaged.data(), damaged.size());
#else
    WriteBytes(source, data, size);
#endif
    fs::remove(output);
    melvane::TransposeSettings transpose;
    transpose.steps = 2;
    const melvane::OdtResult result =
        melvane::TransposeOdtDocument(source, output, notes, transpose);
    if (result.outputWritten != fs::exists(output) ||
        (result.outputWritten && !melvane::OpenPackage(output).status.Ok())) {
        std::abort();
    }
#ifdef MELVANE_FLIP_BITS
    if (result.outputWritten || result.failure != melvane::OdtFailure::SourceUnreadable) {
        std::fprintf(stderr, "a flipped bit was not refused\n");
        std::abort();
    }
#endif
    return 0;
}
