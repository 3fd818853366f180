// Writes zip files byte by byte, so that tests can build the packages no zip tool would write:
// duplicate and hostile names, lying sizes and checksums, unknown methods, encryption flags,
// local headers that contradict the central directory, stray end records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace melvane::test {

struct ZipEntry {
    std::string name;          // raw bytes, as stored
    std::string data;          // uncompressed
    std::uint16_t method = 8;  // 0 stored, 8 deflated; any other is stored as if it were that
    std::uint16_t flags = 0;   // general purpose bits (1 = encrypted, 0x800 = UTF-8 name)
    std::optional<std::uint32_t> declaredSize;  // a lie about the uncompressed size
    std::optional<std::uint32_t> crc;           // a lie about the checksum
    std::string extra;                          // the local and central extra field
    std::uint16_t dosTime = 0x6000;             // 12:00
    std::uint16_t dosDate = 0x5a21;             // 2025-01-01
    std::uint32_t externalAttributes = 0;
    // The data as stored, instead of `data` compressed by `method` (cut or damaged streams).
    std::optional<std::string> stored;
    std::optional<std::uint32_t> compressedSize;  // a lie about the stored size, in both headers
    // Lies of the local header alone; the central directory tells the truth.
    std::optional<std::string> localName;
    std::optional<std::uint32_t> localSize;
    std::optional<std::uint16_t> localMethod;
    // Where the central directory says the local header is, counted from where it really is.
    std::int64_t offsetShift = 0;
    // Checksum and sizes in a data descriptor after the data; zero in the local header.
    bool dataDescriptor = false;
};

// What follows the central directory's end record.
struct ZipEnd {
    std::string comment;   // the end record's own comment
    std::string trailing;  // bytes after it that no length covers
};

std::string BuildZip(const std::vector<ZipEntry>& entries, const ZipEnd& end = {});
void WriteZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries,
              const ZipEnd& end = {});

std::string DeflateRaw(const std::string& data);

// Each entry's name and general purpose bits as the central directory of `zip` states them.
std::vector<std::pair<std::string, std::uint16_t>> CentralNamesAndFlags(const std::string& zip);

}  // namespace melvane::test
