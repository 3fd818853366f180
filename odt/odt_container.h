// The zip container of an OpenDocument file: unpacked into a work folder entry by entry and
// packed again from there in the same order under the same names.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace melvane {

struct OdtEntry {
    std::string packedName;           // the name as stored in the container (UTF-8)
    std::filesystem::path localPath;  // where its data lies in the work folder
};
using OdtEntryList = std::vector<OdtEntry>;

enum class ExtractStatus {
    Extracted,
    Unreadable,   // not a zip, or reading broke off before its end
    UnsafeName,   // an entry would land outside the work folder
    TooLarge,     // more data or entries than any song sheet has
    WriteFailed,  // the work folder could not take an entry
};

struct ExtractLimits {
    std::uint64_t maxTotalBytes = std::uint64_t{1} << 30;
    std::size_t maxEntries = 100000;
};

// The reader's block size and the copy block of entry data.
inline constexpr std::size_t kArchiveReadBlock = 10240;
inline constexpr std::size_t kArchiveCopyBlock = 2097152;

// Unpacks every entry of `source` below `workFolder` and lists them in container order.
// Directory entries are listed but write nothing. On failure what was written stays in the work
// folder for its owner to remove.
ExtractStatus ExtractOdtContainer(const std::filesystem::path& source,
                                  const std::filesystem::path& workFolder, OdtEntryList& entries,
                                  const ExtractLimits& limits = {});

// Creates each missing folder of `folder` from the top down; existing ones are left alone.
bool CreateFolderChain(const std::filesystem::path& folder);

// True for a name that stays inside the folder it is unpacked to: relative, no drive, no "..".
bool IsSafeEntryName(std::string_view name);

// Packs the listed files into a new container at `output`, in list order under their packed
// names. Entries whose file is not a regular file (folders, entries that failed) are left out.
// "mimetype" is stored uncompressed, everything else deflated. The output appears only when it
// is complete; false when it could not be written.
bool RepackOdtContainer(const std::filesystem::path& output, const OdtEntryList& entries);

}  // namespace melvane
