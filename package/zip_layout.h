// A zip file's own records read byte by byte, beside what libzip makes of them: the end record,
// the central directory and each entry's local header. Readers that choose differently between
// two end records, or trust the local header where another trusts the directory, see different
// packages; these checks refuse such packages before anything is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace melvane::zip_layout {

struct Entry {
    std::string name;  // raw bytes, as stored
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
};

struct Directory {
    std::vector<Entry> entries;  // in the directory's order
    std::uint64_t offset = 0;    // where the central directory starts
};

// Reads exactly `size` bytes at `offset`; false when the file ends first or cannot be read.
using ReadAt = std::function<bool(std::uint64_t offset, void* data, std::size_t size)>;

// Finds the one end record every reader agrees on and reads the directory it names. An empty
// result means success; otherwise it says what is wrong (UTF-8, English, for the reason).
std::string ReadDirectory(const ReadAt& read, std::uint64_t fileSize, Directory& directory);

// Checks each entry's local header (and data descriptor) against the directory, and that no
// entry's data runs into another's or into the directory. Empty on success.
std::string CheckLocalHeaders(const ReadAt& read, const Directory& directory);

// Streams one entry's compressed bytes through inflate and CRC-32 in constant memory and checks
// them against the directory: method, checksum, both sizes, and that a deflate stream is exactly
// as long as declared and leaves no padding bit set, so that every changed bit of the data is
// noticed. `next` hands out the compressed bytes in order (0 at the end, -1 on a read error).
// Empty on success.
using NextBytes = std::function<std::int64_t(void* data, std::size_t size)>;
std::string VerifyEntryData(const NextBytes& next, const Entry& entry);

}  // namespace melvane::zip_layout
