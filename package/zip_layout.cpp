#include "package/zip_layout.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

namespace melvane::zip_layout {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;
constexpr std::uint16_t kDataDescriptorFlag = 0x08;
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;
constexpr std::size_t kEndSize = 22;
constexpr std::string_view kEndMark = "PK\x05\x06";
constexpr std::size_t kLongestComment = 0xFFFF;
constexpr std::size_t kBlock = 65536;

std::uint64_t Little(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// The 64-bit values of a zip64 extra field (id 1) in `extra`, in the order they are stored.
std::vector<std::uint64_t> Zip64Values(const unsigned char* extra, std::size_t length) {
    std::vector<std::uint64_t> values;
    for (std::size_t at = 0; at + 4 <= length;) {
        const auto id = Little(extra + at, 2);
        const auto size = static_cast<std::size_t>(Little(extra + at + 2, 2));
        if (at + 4 + size > length) {
            break;
        }
        if (id == 1) {
            for (std::size_t v = 0; v + 8 <= size; v += 8) {
                values.push_back(Little(extra + at + 4 + v, 8));
            }
            break;
        }
        at += 4 + size;
    }
    return values;
}

struct EndRecord {
    std::uint64_t entries = 0;
    std::uint64_t directorySize = 0;
    std::uint64_t directoryOffset = 0;
};

// The end record at `at` (a file offset) when the directory it names could be real: it lies
// before the record and starts with a directory entry.
bool ReadEndRecord(const ReadAt& read, std::uint64_t fileSize, std::uint64_t at,
                   EndRecord& record) {
    unsigned char end[kEndSize];
    if (at + kEndSize > fileSize || !read(at, end, sizeof end) || Little(end, 4) != kEndSignature ||
        Little(end + 4, 2) != 0 || Little(end + 6, 2) != 0) {
        return false;
    }
    record = {Little(end + 10, 2), Little(end + 12, 4), Little(end + 16, 4)};
    std::uint64_t directoryEnd = at;
    if (record.entries == 0xFFFF || record.directorySize == kMax32 ||
        record.directoryOffset == kMax32) {
        unsigned char locator[20];
        unsigned char zip64[56];
        if (at >= sizeof locator && read(at - sizeof locator, locator, sizeof locator) &&
            Little(locator, 4) == kZip64LocatorSignature) {
            directoryEnd = Little(locator + 8, 8);
            if (directoryEnd + sizeof zip64 > at - sizeof locator ||
                !read(directoryEnd, zip64, sizeof zip64) ||
                Little(zip64, 4) != kZip64EndSignature) {
                return false;
            }
            record = {Little(zip64 + 32, 8), Little(zip64 + 40, 8), Little(zip64 + 48, 8)};
        }
    }
    if (record.directoryOffset > directoryEnd ||
        record.directorySize > directoryEnd - record.directoryOffset) {
        return false;
    }
    unsigned char first[4];
    return record.entries == 0 || (read(record.directoryOffset, first, sizeof first) &&
                                   Little(first, 4) == kCentralSignature);
}

}  // namespace

std::string ReadDirectory(const ReadAt& read, std::uint64_t fileSize, Directory& directory) {
    const std::uint64_t tailStart =
        fileSize > kEndSize + kLongestComment ? fileSize - kEndSize - kLongestComment : 0;
    std::vector<unsigned char> tail(static_cast<std::size_t>(fileSize - tailStart));
    if (!read(tailStart, tail.data(), tail.size())) {
        return "its end-of-central-directory record cannot be read";
    }
    // The first plausible end record is the one libzip takes; any later one (in its comment or
    // after it) is the one other readers take.
    std::vector<std::uint64_t> signatures;
    const std::string_view text(reinterpret_cast<const char*>(tail.data()), tail.size());
    for (std::size_t at = text.find(kEndMark); at != std::string_view::npos;
         at = text.find(kEndMark, at + 1)) {
        signatures.push_back(tailStart + at);
    }
    EndRecord record;
    const auto chosen = std::find_if(signatures.begin(), signatures.end(), [&](std::uint64_t at) {
        return ReadEndRecord(read, fileSize, at, record);
    });
    if (chosen == signatures.end()) {
        return "its end-of-central-directory record is missing or damaged";
    }
    if (chosen + 1 != signatures.end()) {
        return "a second end-of-central-directory record follows the first, so zip readers "
               "would see different packages";
    }
    if (record.entries > std::numeric_limits<std::uint32_t>::max()) {
        return "its central directory is damaged";
    }

    std::vector<unsigned char> bytes(static_cast<std::size_t>(record.directorySize));
    if (!read(record.directoryOffset, bytes.data(), bytes.size())) {
        return "its central directory cannot be read";
    }
    directory.offset = record.directoryOffset;
    directory.entries.clear();
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < record.entries; ++i) {
        if (at + 46 > bytes.size() || Little(&bytes[at], 4) != kCentralSignature) {
            return "its central directory is damaged";
        }
        const unsigned char* header = &bytes[at];
        const auto nameLength = static_cast<std::size_t>(Little(header + 28, 2));
        const auto extraLength = static_cast<std::size_t>(Little(header + 30, 2));
        const auto commentLength = static_cast<std::size_t>(Little(header + 32, 2));
        if (at + 46 + nameLength + extraLength + commentLength > bytes.size()) {
            return "its central directory is damaged";
        }
        Entry entry;
        entry.name.assign(reinterpret_cast<const char*>(header + 46), nameLength);
        entry.flags = static_cast<std::uint16_t>(Little(header + 8, 2));
        entry.method = static_cast<std::uint16_t>(Little(header + 10, 2));
        entry.crc = static_cast<std::uint32_t>(Little(header + 16, 4));
        entry.compressedSize = Little(header + 20, 4);
        entry.size = Little(header + 24, 4);
        entry.localOffset = Little(header + 42, 4);
        const std::vector<std::uint64_t> wide = Zip64Values(header + 46 + nameLength, extraLength);
        std::size_t next = 0;
        for (std::uint64_t* field : {&entry.size, &entry.compressedSize, &entry.localOffset}) {
            if (*field == kMax32) {
                if (next == wide.size()) {
                    return entry.name + ": its central directory entry is damaged";
                }
                *field = wide[next++];
            }
        }
        directory.entries.push_back(std::move(entry));
        at += 46 + nameLength + extraLength + commentLength;
    }
    return {};
}

std::string CheckLocalHeaders(const ReadAt& read, const Directory& directory) {
    struct Span {
        std::uint64_t start;
        std::uint64_t end;
        const Entry* entry;
    };
    std::vector<Span> spans;
    spans.reserve(directory.entries.size());
    for (const Entry& entry : directory.entries) {
        const std::string named = entry.name + ": ";
        unsigned char header[30];
        if (entry.localOffset > directory.offset ||
            !read(entry.localOffset, header, sizeof header) ||
            Little(header, 4) != kLocalSignature) {
            return named + "its local header is missing";
        }
        const auto nameLength = static_cast<std::size_t>(Little(header + 26, 2));
        const auto extraLength = static_cast<std::size_t>(Little(header + 28, 2));
        std::vector<unsigned char> variable(nameLength + extraLength);
        if (!read(entry.localOffset + sizeof header, variable.data(), variable.size())) {
            return named + "its local header is cut short";
        }
        const auto flags = static_cast<std::uint16_t>(Little(header + 6, 2));
        std::uint64_t crc = Little(header + 14, 4);
        std::uint64_t compressed = Little(header + 18, 4);
        std::uint64_t size = Little(header + 22, 4);
        const std::vector<std::uint64_t> wide =
            Zip64Values(variable.data() + nameLength, extraLength);
        // The local zip64 field holds both sizes; tolerate writers that store only the one.
        const bool sizeWide = size == kMax32;
        const bool compressedWide = compressed == kMax32;
        if (sizeWide && compressedWide && wide.size() >= 2) {
            size = wide[0];
            compressed = wide[1];
        } else if (sizeWide && !wide.empty()) {
            size = wide[0];
        } else if (compressedWide && !wide.empty()) {
            compressed = wide.size() >= 2 ? wide[1] : wide[0];
        }
        const bool sameName = nameLength == entry.name.size() &&
                              std::memcmp(variable.data(), entry.name.data(), nameLength) == 0;
        if (!sameName) {
            return named + "its local header names another entry";
        }
        if (Little(header + 8, 2) != entry.method || (flags & 1) != (entry.flags & 1)) {
            return named +
                   "its local header disagrees with the central directory on the method or "
                   "encryption";
        }
        const std::uint64_t dataStart = entry.localOffset + sizeof header + variable.size();
        std::uint64_t dataEnd = dataStart + entry.compressedSize;
        if (dataEnd < dataStart || dataEnd > directory.offset) {
            return named +
                   "its data runs into the central directory: the entry is cut short or its "
                   "size is wrong";
        }
        const auto agrees = [](std::uint64_t local, std::uint64_t central, bool deferred) {
            return local == central || (deferred && (local == 0 || local == kMax32));
        };
        const bool deferred = (flags & kDataDescriptorFlag) != 0;
        if (!agrees(crc, entry.crc, deferred) ||
            !agrees(compressed, entry.compressedSize, deferred) ||
            !agrees(size, entry.size, deferred)) {
            return named +
                   "its local header disagrees with the central directory on its size "
                   "or checksum";
        }
        if (deferred) {
            // Signature (optional), checksum and both sizes, in four or eight bytes each.
            unsigned char descriptor[24] = {};
            const std::uint64_t room = directory.offset - dataEnd;
            const std::size_t have =
                static_cast<std::size_t>(std::min<std::uint64_t>(room, sizeof descriptor));
            if (have > 0 && !read(dataEnd, descriptor, have)) {
                return named + "its data descriptor cannot be read";
            }
            const std::size_t skip = Little(descriptor, 4) == kDescriptorSignature ? 4 : 0;
            std::uint64_t length = 0;
            for (const std::size_t width : {std::size_t{4}, std::size_t{8}}) {
                const std::size_t need = skip + 4 + 2 * width;
                if (length == 0 && need <= have && Little(descriptor + skip, 4) == entry.crc &&
                    Little(descriptor + skip + 4, static_cast<int>(width)) ==
                        entry.compressedSize &&
                    Little(descriptor + skip + 4 + width, static_cast<int>(width)) == entry.size) {
                    length = need;
                }
            }
            if (length == 0) {
                return named + "its data descriptor disagrees with the central directory";
            }
            dataEnd += length;  // within the room read above
        }
        spans.push_back({entry.localOffset, dataEnd, &entry});
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.start < b.start; });
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i - 1].end > spans[i].start) {
            return spans[i - 1].entry->name + ": its data runs into the entry " +
                   spans[i].entry->name + ": it is cut short or its size is wrong";
        }
    }
    return {};
}

namespace {

// `unused` counts the bits of `last` not yet read, from the top; they start the next block's
// header. A stored block's header is followed by padding to the byte's end, which inflate skips
// unseen: a flipped bit there must still count, so it has to be 0. Needs the following byte
// (`next`) when fewer than three bits are left; `pending` says so.
bool StoredPaddingClear(unsigned char last, int unused, const unsigned char* next, bool& pending) {
    pending = false;
    const unsigned bits = unused == 0 ? 0u : static_cast<unsigned>(last) >> (8 - unused);
    if (unused >= 3) {
        return ((bits >> 1) & 3) != 0 || (bits >> 3) == 0;
    }
    if (next == nullptr) {
        pending = true;
        return true;
    }
    const unsigned header = (bits | static_cast<unsigned>(*next) << unused) & 7;
    return ((header >> 1) & 3) != 0 || (static_cast<unsigned>(*next) >> (3 - unused)) == 0;
}

}  // namespace

std::string VerifyEntryData(const NextBytes& next, const Entry& entry) {
    if (entry.method != 0 && entry.method != 8) {
        return "it is compressed with method " + std::to_string(entry.method) +
               ", which packages do not use";
    }
    const std::string cutShort = "its data is cut short";
    const std::string badSize = "its size does not match its data";
    const std::string damaged = "its compressed data is damaged";
    std::vector<unsigned char> in(kBlock);
    std::vector<unsigned char> out(entry.method == 8 ? kBlock : 0);
    z_stream stream{};
    if (entry.method == 8 && inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        return "there is not enough memory to check it";
    }
    struct Ender {
        z_stream* stream;
        bool active;
        ~Ender() {
            if (active) {
                inflateEnd(stream);
            }
        }
    } ender{&stream, entry.method == 8};

    std::uint64_t produced = 0;
    uLong crc = crc32(0, nullptr, 0);
    bool finished = false;
    unsigned char lastByte = 0;  // the last byte inflate has taken, across blocks of input
    bool boundaryPending = false;
    int pendingUnused = 0;
    // Inflates what `stream` holds; empty when all is well so far.
    const auto pump = [&]() -> std::string {
        for (;;) {
            const Bytef* before = stream.next_in;
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            const int status = inflate(&stream, Z_BLOCK);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                return damaged;
            }
            if (stream.next_in != before) {
                lastByte = stream.next_in[-1];
            }
            const std::size_t made = out.size() - stream.avail_out;
            produced += made;
            if (produced > entry.size) {
                return badSize;  // a bomb stops at its declared size
            }
            crc = crc32_z(crc, out.data(), made);
            if (status == Z_STREAM_END) {
                finished = true;
                return stream.avail_in > 0 ? damaged : std::string();
            }
            if ((stream.data_type & 128) != 0) {
                const int unused = stream.data_type & 7;
                if ((stream.data_type & 64) != 0) {
                    if (unused > 0 && (lastByte >> (8 - unused)) != 0) {
                        return damaged;  // padding after the last block
                    }
                } else if (!StoredPaddingClear(lastByte, unused,
                                               stream.avail_in > 0 ? stream.next_in : nullptr,
                                               boundaryPending)) {
                    return damaged;
                } else if (boundaryPending) {
                    pendingUnused = unused;
                }
            }
            if (stream.avail_in == 0 && stream.avail_out != 0) {
                return {};  // wants more input
            }
        }
    };

    std::uint64_t read = 0;
    while (read < entry.compressedSize) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, entry.compressedSize - read));
        const std::int64_t got = next(in.data(), want);
        if (got < 0) {
            return "its data cannot be read";
        }
        if (got == 0) {
            return cutShort;
        }
        read += static_cast<std::uint64_t>(got);
        if (entry.method == 0) {
            produced += static_cast<std::uint64_t>(got);
            if (produced > entry.size) {
                return badSize;
            }
            crc = crc32_z(crc, in.data(), static_cast<std::size_t>(got));
            continue;
        }
        if (finished) {
            return damaged;  // bytes after the end of the stream
        }
        if (boundaryPending) {
            bool stillPending = false;
            if (!StoredPaddingClear(lastByte, pendingUnused, in.data(), stillPending)) {
                return damaged;
            }
            boundaryPending = false;
        }
        if (read == static_cast<std::uint64_t>(got) &&
            !StoredPaddingClear(in[0], 8, nullptr, boundaryPending)) {
            return damaged;  // the first block's header is a boundary too
        }
        stream.next_in = in.data();
        stream.avail_in = static_cast<uInt>(got);
        if (std::string problem = pump(); !problem.empty()) {
            return problem;
        }
    }
    if (entry.method == 8 && !finished) {
        // The end of the last block may be reached only now, without further input.
        stream.next_in = in.data();
        stream.avail_in = 0;
        if (std::string problem = pump(); !problem.empty()) {
            return problem;
        }
        if (!finished) {
            return cutShort;
        }
    }
    if (produced != entry.size) {
        return badSize;
    }
    if (crc != entry.crc) {
        return "its checksum does not match its data";
    }
    return {};
}

}  // namespace melvane::zip_layout
