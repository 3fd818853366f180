// Builds zip containers and OpenDocument files for the tests, and looks inside the results.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "chords/note_table.h"

namespace melvane::testing_odt {

// The note table, built once for all the tests of a program.
const NoteTable& Notes();

struct ZipItem {
    std::string name;
    std::string data;
    bool directory = false;
    bool store = false;  // written uncompressed
    std::int64_t modified = 1700000000;
};

// Writes a zip with exactly the given entries in the given order.
void WriteZip(const std::filesystem::path& path, const std::vector<ZipItem>& items);

// What the central directory says about an entry, and its data as a reader gives it.
struct ZipEntryInfo {
    std::string name;
    std::uint16_t method = 0;  // 0 stored, 8 deflated
    std::uint64_t localHeaderOffset = 0;
    std::int64_t modified = 0;
    std::string data;
};
std::vector<ZipEntryInfo> ReadZip(const std::filesystem::path& path);
std::string EntryData(const std::vector<ZipEntryInfo>& entries, const std::string& name);

// A content.xml with the usual namespaces around `body` (the inside of office:text).
std::string ContentXml(const std::string& body);

// An OpenDocument text with mimetype, content.xml, styles.xml, a picture and the manifest.
std::vector<ZipItem> SongSheet(const std::string& contentXml);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Points the temporary directory at `folder` for the lifetime of the object.
class ScopedTemporaryDirectory {
  public:
    explicit ScopedTemporaryDirectory(const std::filesystem::path& folder);
    ~ScopedTemporaryDirectory();
    ScopedTemporaryDirectory(const ScopedTemporaryDirectory&) = delete;
    ScopedTemporaryDirectory& operator=(const ScopedTemporaryDirectory&) = delete;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace melvane::testing_odt
