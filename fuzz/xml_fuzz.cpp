// libFuzzer target: any bytes as content.xml. Loading must not crash, and whatever loads must
// be written in a form that loads again and is then written the same way: the rewrite of a
// song sheet is stable. Line breaks are compared as one kind, since a file that mixes them is
// rewritten in the style of its first one. The walk runs too, the first byte choosing the step.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "odt/odt_content.h"
#include "odt/xml_reader.h"
#include "odt/xml_writer.h"

namespace {

std::string OneKindOfLineBreak(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            out += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            out += bytes[i];
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const melvane::NoteTable notes = melvane::BuildNoteTables();
    if (size < 1) {
        return 0;
    }
    const int steps = static_cast<int>(data[0] % 25) - 12;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    melvane::XmlLoadResult loaded = melvane::LoadXmlBytes(bytes);
    if (loaded.status != melvane::XmlLoadStatus::Loaded) {
        return 0;
    }
    melvane::XmlDocument& document = loaded.document;
    if (document.DocumentElement() != melvane::kNoXmlNode) {
        // Both recognition modes: the sheet-aware walk rebuilds lines across elements.
        melvane::TransposeSettings settings = melvane::ClassicSettings(steps, steps & 1);
        if (data[0] >= 128) {
            settings.recognition = melvane::Recognition::SheetAware;
        }
        melvane::WalkTextNodes(document, document.DocumentElement(),
                               melvane::ChordShift{notes, settings});
    }
    const std::string once = melvane::XmlToBytes(document);
    melvane::XmlLoadResult again = melvane::LoadXmlBytes(once);
    if (again.status != melvane::XmlLoadStatus::Loaded ||
        OneKindOfLineBreak(melvane::XmlToBytes(again.document)) != OneKindOfLineBreak(once)) {
        std::abort();
    }
    return 0;
}
