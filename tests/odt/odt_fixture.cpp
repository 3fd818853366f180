#include "odt_fixture.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "platform/file_system.h"
#include "tests/package/zip_builder.h"

namespace melvane::testing_odt {

const NoteTable& Notes() {
    static const NoteTable notes = BuildNoteTables();
    return notes;
}

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

// A DOS date and time in local time, as zip keeps it.
void ToDos(std::int64_t seconds, std::uint16_t& time, std::uint16_t& date) {
    const std::time_t value = static_cast<std::time_t>(seconds);
    const std::tm* local = std::localtime(&value);
    time =
        static_cast<std::uint16_t>(local->tm_hour << 11 | local->tm_min << 5 | local->tm_sec / 2);
    date = static_cast<std::uint16_t>((local->tm_year - 80) << 9 | (local->tm_mon + 1) << 5 |
                                      local->tm_mday);
}

}  // namespace

void WriteZip(const std::filesystem::path& path, const std::vector<ZipItem>& items) {
    std::vector<test::ZipEntry> entries;
    for (const ZipItem& item : items) {
        test::ZipEntry entry;
        entry.name = item.name;
        if (item.directory && (entry.name.empty() || entry.name.back() != '/')) {
            entry.name += '/';
        }
        entry.data = item.directory ? std::string() : item.data;
        entry.method = item.directory || item.store ? 0 : 8;
        entry.flags = 0x800;
        entry.externalAttributes = item.directory ? 0x41ED0000u : 0x81A40000u;
        ToDos(item.modified, entry.dosTime, entry.dosDate);
        entries.push_back(std::move(entry));
    }
    WriteFile(path, test::BuildZip(entries));
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

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source != nullptr ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (archive == nullptr) {
        ADD_FAILURE() << "libzip cannot read " << path;
        zip_source_free(source);
        return entries;
    }
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const auto item = static_cast<zip_uint64_t>(index);
        zip_stat_t stat;
        zip_stat_index(archive, item, ZIP_FL_ENC_RAW, &stat);
        EXPECT_EQ(stat.name, entries[index].name);
        entries[index].modified = stat.mtime;
        if (zip_file_t* file = zip_fopen_index(archive, item, 0)) {
            char buffer[65536];
            for (zip_int64_t got; (got = zip_fread(file, buffer, sizeof buffer)) > 0;) {
                entries[index].data.append(buffer, static_cast<std::size_t>(got));
            }
            zip_fclose(file);
        }
    }
    zip_discard(archive);
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
