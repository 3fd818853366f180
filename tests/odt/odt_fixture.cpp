#include "odt_fixture.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/file_system.h"

namespace melvane::testing_odt {
namespace {

std::uint32_t Little(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

// No value removes the variable.
void SetVariable(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name, value ? value->c_str() : "");
#else
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
#endif
}

// The path's own character type picks the call: wide names on Windows, bytes elsewhere.
[[maybe_unused]] int OpenRead(archive* reader, const char* path) {
    return archive_read_open_filename(reader, path, 10240);
}
[[maybe_unused]] int OpenRead(archive* reader, const wchar_t* path) {
    return archive_read_open_filename_w(reader, path, 10240);
}
[[maybe_unused]] int OpenWrite(archive* writer, const char* path) {
    return archive_write_open_filename(writer, path);
}
[[maybe_unused]] int OpenWrite(archive* writer, const wchar_t* path) {
    return archive_write_open_filename_w(writer, path);
}

}  // namespace

void WriteZip(const std::filesystem::path& path, const std::vector<ZipItem>& items) {
    const Utf8TextScope utf8Names;
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    archive_write_set_options(writer, "zip:hdrcharset=UTF-8");
    archive_write_set_bytes_in_last_block(writer, 1);
    ASSERT_EQ(OpenWrite(writer, path.c_str()), ARCHIVE_OK);
    for (const ZipItem& item : items) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, item.name.c_str());
        archive_entry_set_filetype(entry, item.directory ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, item.directory ? 0755 : 0644);
        archive_entry_set_size(entry,
                               item.directory ? 0 : static_cast<la_int64_t>(item.data.size()));
        archive_entry_set_mtime(entry, item.modified, 0);
        if (item.store) {
            archive_write_zip_set_compression_store(writer);
        } else {
            archive_write_zip_set_compression_deflate(writer);
        }
        EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << item.name;
        if (!item.directory) {
            archive_write_data(writer, item.data.data(), item.data.size());
        }
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

std::vector<ZipEntryInfo> ReadZip(const std::filesystem::path& path) {
    std::vector<ZipEntryInfo> entries;
    const std::string bytes = ReadFile(path);
    // The end record: the last "PK\5\6".
    const std::size_t end = bytes.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos) {
        ADD_FAILURE() << "no zip end record in " << path;
        return entries;
    }
    const std::uint32_t count = Little(bytes, end + 10, 2);
    std::size_t at = Little(bytes, end + 16, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (Little(bytes, at, 4) != 0x02014b50) {
            ADD_FAILURE() << "broken central directory in " << path;
            return entries;
        }
        ZipEntryInfo info;
        info.method = static_cast<std::uint16_t>(Little(bytes, at + 10, 2));
        const std::uint32_t nameLength = Little(bytes, at + 28, 2);
        const std::uint32_t extraLength = Little(bytes, at + 30, 2);
        const std::uint32_t commentLength = Little(bytes, at + 32, 2);
        info.localHeaderOffset = Little(bytes, at + 42, 4);
        info.name = bytes.substr(at + 46, nameLength);
        entries.push_back(info);
        at += 46 + nameLength + extraLength + commentLength;
    }

    const Utf8TextScope utf8Names;
    archive* reader = archive_read_new();
    archive_read_support_format_zip(reader);
    EXPECT_EQ(OpenRead(reader, path.c_str()), ARCHIVE_OK);
    archive_entry* entry = nullptr;
    std::size_t index = 0;
    while (archive_read_next_header(reader, &entry) == ARCHIVE_OK && index < entries.size()) {
        EXPECT_EQ(archive_entry_pathname_utf8(entry), entries[index].name);
        entries[index].modified = archive_entry_mtime(entry);
        char buffer[65536];
        for (la_ssize_t got; (got = archive_read_data(reader, buffer, sizeof buffer)) > 0;) {
            entries[index].data.append(buffer, static_cast<std::size_t>(got));
        }
        ++index;
    }
    archive_read_free(reader);
    return entries;
}

std::string EntryData(const std::vector<ZipEntryInfo>& entries, const std::string& name) {
    for (const ZipEntryInfo& entry : entries) {
        if (entry.name == name) {
            return entry.data;
        }
    }
    ADD_FAILURE() << "no entry " << name;
    return {};
}

std::string ContentXml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<office:document-content "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "office:version=\"1.3\"><office:body><office:text>" +
           body + "</office:text></office:body></office:document-content>";
}

std::vector<ZipItem> SongSheet(const std::string& contentXml) {
    std::string picture;
    for (int i = 0; i < 5000; ++i)
        picture += static_cast<char>((i * 7919) % 251);
    return {
        {"mimetype", "application/vnd.oasis.opendocument.text", false, true},
        {"content.xml", contentXml},
        {"styles.xml", "<?xml version=\"1.0\"?><office:document-styles/>"},
        {"Pictures/", "", true},
        {"Pictures/cover.png", picture},
        {"META-INF/manifest.xml", "<?xml version=\"1.0\"?><manifest:manifest/>"},
    };
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

ScopedTemporaryDirectory::ScopedTemporaryDirectory(const std::filesystem::path& folder) {
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        SetVariable(name, folder.string());
    }
}

ScopedTemporaryDirectory::~ScopedTemporaryDirectory() {
    for (const auto& [name, value] : saved_) {
        SetVariable(name.c_str(), value);
    }
}

}  // namespace melvane::testing_odt
