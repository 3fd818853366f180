// libFuzzer target: any bytes as an .odt package, through the whole OpenDocument path. Nothing
// may crash, and a run either writes a package that opens again or writes nothing at all.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "chords/note_table.h"
#include "odt/odt_document.h"
#include "package/package.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const melvane::NoteTable notes = melvane::BuildNoteTables();
    const fs::path source = Folder() / "in.odt";
    const fs::path output = Folder() / "out.odt";
    std::ofstream(source, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    fs::remove(output);
    melvane::TransposeSettings transpose;
    transpose.steps = 2;
    const melvane::OdtResult result =
        melvane::TransposeOdtDocument(source, output, notes, transpose);
    if (result.outputWritten != fs::exists(output) ||
        (result.outputWritten && !melvane::OpenPackage(output).status.Ok())) {
        std::abort();
    }
    return 0;
}
