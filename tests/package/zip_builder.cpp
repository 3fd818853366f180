#include "tests/package/zip_builder.h"

#include <zlib.h>

#include <fstream>

namespace melvane::test {
namespace {

void Put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

std::string DeflateRaw(const std::string& data) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string BuildZip(const std::vector<ZipEntry>& entries, const ZipEnd& end) {
    std::string zip;
    std::string directory;
    for (const ZipEntry& entry : entries) {
        const std::string stored =
            entry.stored.value_or(entry.method == 8 ? DeflateRaw(entry.data) : entry.data);
        const auto crc = entry.crc.value_or(
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                             static_cast<uInt>(entry.data.size()))));
        const auto size =
            entry.declaredSize.value_or(static_cast<std::uint32_t>(entry.data.size()));
        const auto compressedSize =
            entry.compressedSize.value_or(static_cast<std::uint32_t>(stored.size()));
        const auto offset =
            static_cast<std::uint32_t>(static_cast<std::int64_t>(zip.size()) + entry.offsetShift);
        const auto header = [&](std::string& out, bool central) {
            const bool deferred = entry.dataDescriptor && !central;
            const std::string& name = central ? entry.name : entry.localName.value_or(entry.name);
            Put32(out, central ? 0x02014b50 : 0x04034b50);
            if (central) {
                Put16(out, 0x0314);  // made by: Unix, 2.0
            }
            Put16(out, 20);
            Put16(out, entry.flags | (entry.dataDescriptor ? 0x08 : 0));
            Put16(out, central ? entry.method : entry.localMethod.value_or(entry.method));
            Put16(out, entry.dosTime);
            Put16(out, entry.dosDate);
            Put32(out, deferred ? 0 : crc);
            Put32(out, deferred ? 0 : compressedSize);
            Put32(out, deferred ? 0 : central ? size : entry.localSize.value_or(size));
            Put16(out, static_cast<std::uint32_t>(name.size()));
            Put16(out, static_cast<std::uint32_t>(entry.extra.size()));
            if (central) {
                Put16(out, 0);  // comment
                Put16(out, 0);  // disk
                Put16(out, 0);  // internal attributes
                Put32(out, entry.externalAttributes);
                Put32(out, offset);
            }
            out += name;
            out += entry.extra;
        };
        header(zip, false);
        zip += stored;
        if (entry.dataDescriptor) {
            Put32(zip, 0x08074b50);
            Put32(zip, crc);
            Put32(zip, compressedSize);
            Put32(zip, size);
        }
        header(directory, true);
    }
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    const bool zip64 = entries.size() > 0xFFFF;
    if (zip64) {
        const auto put64 = [&zip](std::uint64_t value) {
            Put32(zip, static_cast<std::uint32_t>(value));
            Put32(zip, static_cast<std::uint32_t>(value >> 32));
        };
        const std::uint64_t recordOffset = zip.size();
        Put32(zip, 0x06064b50);
        put64(44);
        Put16(zip, 45);
        Put16(zip, 45);
        Put32(zip, 0);
        Put32(zip, 0);
        put64(entries.size());
        put64(entries.size());
        put64(directory.size());
        put64(directoryOffset);
        Put32(zip, 0x07064b50);
        Put32(zip, 0);
        put64(recordOffset);
        Put32(zip, 1);
    }
    const std::uint32_t count = zip64 ? 0xFFFF : static_cast<std::uint32_t>(entries.size());
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, count);
    Put16(zip, count);
    Put32(zip, static_cast<std::uint32_t>(directory.size()));
    Put32(zip, directoryOffset);
    Put16(zip, static_cast<std::uint32_t>(end.comment.size()));
    return zip + end.comment + end.trailing;
}

std::vector<std::pair<std::string, std::uint16_t>> CentralNamesAndFlags(const std::string& zip) {
    const auto little = [&zip](std::size_t at, int size) {
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i) {
            value =
                value << 8 | static_cast<unsigned char>(zip.at(at + static_cast<std::size_t>(i)));
        }
        return value;
    };
    std::vector<std::pair<std::string, std::uint16_t>> entries;
    const std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos) {
        return entries;
    }
    std::size_t at = little(end + 16, 4);
    for (std::uint32_t i = little(end + 10, 2); i > 0 && little(at, 4) == 0x02014b50; --i) {
        const std::uint32_t nameLength = little(at + 28, 2);
        entries.emplace_back(zip.substr(at + 46, nameLength),
                             static_cast<std::uint16_t>(little(at + 8, 2)));
        at += 46 + nameLength + little(at + 30, 2) + little(at + 32, 2);
    }
    return entries;
}

void WriteZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries,
              const ZipEnd& end) {
    std::ofstream(path, std::ios::binary) << BuildZip(entries, end);
}

}  // namespace melvane::test
