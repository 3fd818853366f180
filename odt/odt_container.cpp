#include "odt/odt_container.h"

#include <archive.h>
#include <archive_entry.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <system_error>

#include "platform/file_system.h"

namespace melvane {
namespace {

struct ReaderDeleter {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
struct WriterDeleter {
    void operator()(archive* writer) const { archive_write_free(writer); }
};
struct EntryDeleter {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};
using Reader = std::unique_ptr<archive, ReaderDeleter>;
using Writer = std::unique_ptr<archive, WriterDeleter>;
using Entry = std::unique_ptr<archive_entry, EntryDeleter>;

// The path's own character type picks the call: wide names on Windows, bytes elsewhere.
[[maybe_unused]] int OpenForReading(archive* reader, const char* path) {
    return archive_read_open_filename(reader, path, kArchiveReadBlock);
}
[[maybe_unused]] int OpenForReading(archive* reader, const wchar_t* path) {
    return archive_read_open_filename_w(reader, path, kArchiveReadBlock);
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Where a safe name lands below `folder`. Both separators split, so that a name means the same
// place on every system.
std::filesystem::path LocalPathOf(const std::filesystem::path& folder, std::string_view name) {
    std::filesystem::path path = folder;
    std::size_t start = 0;
    while (start < name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        const std::string_view part = name.substr(start, end - start);
        if (!part.empty() && part != ".") {
            path /= PathFromUtf8(part);
        }
        start = end + 1;
    }
    return path;
}

std::string EntryName(archive_entry* entry) {
    const char* utf8 = archive_entry_pathname_utf8(entry);
    if (utf8 == nullptr) {
        utf8 = archive_entry_pathname(entry);
    }
    return utf8 != nullptr ? utf8 : "";
}

bool IsDirectoryEntry(archive_entry* entry, std::string_view name) {
    return archive_entry_filetype(entry) == AE_IFDIR || (!name.empty() && IsSeparator(name.back()));
}

// Copies the current entry's data to `path`; `total` counts every byte unpacked so far.
ExtractStatus ExtractData(archive* reader, const std::filesystem::path& path,
                          std::vector<char>& buffer, std::uint64_t& total,
                          const ExtractLimits& limits) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return ExtractStatus::WriteFailed;
    }
    ExtractStatus status = ExtractStatus::Extracted;
    for (;;) {
        const la_ssize_t got = archive_read_data(reader, buffer.data(), buffer.size());
        if (got == 0) {
            break;
        }
        if (got < 0) {
            status = ExtractStatus::Unreadable;
            break;
        }
        total += static_cast<std::uint64_t>(got);
        if (total > limits.maxTotalBytes) {
            status = ExtractStatus::TooLarge;
            break;
        }
        if (!file.write(buffer.data(), got)) {
            status = ExtractStatus::WriteFailed;
            break;
        }
    }
    file.close();
    if (status == ExtractStatus::Extracted && file.fail()) {
        status = ExtractStatus::WriteFailed;
    }
    if (status != ExtractStatus::Extracted) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    return status;
}

// Gives the unpacked file the entry's time, so the packed copy carries the original one.
void KeepModificationTime(const std::filesystem::path& path, archive_entry* entry) {
    if (!archive_entry_mtime_is_set(entry)) {
        return;
    }
    const auto when = std::chrono::system_clock::from_time_t(archive_entry_mtime(entry));
    std::error_code ignored;
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::from_sys(when),
                                     ignored);
}

la_ssize_t WriteToFile(archive*, void* file, const void* data, size_t size) {
    return static_cast<AtomicFile*>(file)->Write(data, size) ? static_cast<la_ssize_t>(size) : -1;
}

bool AddEntry(archive* writer, const OdtEntry& record, std::vector<char>& buffer) {
    std::ifstream file(record.localPath, std::ios::binary);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(record.localPath, error);
    if (!file || error) {
        return false;
    }
    const auto modified = std::filesystem::last_write_time(record.localPath, error);
    Entry entry(archive_entry_new());
    if (!entry) {
        return false;
    }
    archive_entry_set_pathname_utf8(entry.get(), record.packedName.c_str());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
    if (!error) {
        const auto seconds = std::chrono::system_clock::to_time_t(
            std::filesystem::file_time_type::clock::to_sys(modified));
        archive_entry_set_mtime(entry.get(), seconds, 0);
    }
    // Readers identify an OpenDocument file by this entry's bytes, which must be stored plain.
    if (record.packedName == "mimetype") {
        archive_write_zip_set_compression_store(writer);
    } else {
        archive_write_zip_set_compression_deflate(writer);
    }
    if (archive_write_header(writer, entry.get()) != ARCHIVE_OK) {
        return false;
    }
    std::uintmax_t copied = 0;
    while (copied < size) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0) {
            break;
        }
        if (archive_write_data(writer, buffer.data(), got) != static_cast<la_ssize_t>(got)) {
            return false;
        }
        copied += got;
    }
    // A file that changed size since it was measured would leave a broken entry.
    return copied == size && archive_write_finish_entry(writer) == ARCHIVE_OK;
}

}  // namespace

bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || IsSeparator(name.front())) {
        return false;
    }
    if (name.size() >= 2 && name[1] == ':') {
        return false;  // drive-qualified: C:file or C:\file
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        if (name.substr(start, end - start) == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool CreateFolderChain(const std::filesystem::path& folder) {
    // The root ("/", "C:\\") exists whenever the folder can be made at all.
    std::filesystem::path prefix = folder.root_path();
    for (const std::filesystem::path& part : folder.relative_path()) {
        if (part.empty()) {
            break;
        }
        prefix /= part;
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(prefix, error))) {
            continue;
        }
        if (!std::filesystem::create_directory(prefix, error) && error) {
            return false;
        }
    }
    return true;
}

ExtractStatus ExtractOdtContainer(const std::filesystem::path& source,
                                  const std::filesystem::path& workFolder, OdtEntryList& entries,
                                  const ExtractLimits& limits) {
    entries.clear();
    const Utf8TextScope utf8Names;
    Reader reader(archive_read_new());
    if (!reader) {
        return ExtractStatus::Unreadable;
    }
    // Both the seekable reader (central directory) and the streaming one (local headers).
    archive_read_support_format_zip(reader.get());
    if (OpenForReading(reader.get(), source.c_str()) != ARCHIVE_OK) {
        return ExtractStatus::Unreadable;
    }

    std::vector<char> buffer(kArchiveCopyBlock);
    std::uint64_t total = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            return ExtractStatus::Unreadable;
        }
        std::string name = EntryName(entry);
        if (!IsSafeEntryName(name)) {
            return ExtractStatus::UnsafeName;
        }
        if (entries.size() >= limits.maxEntries) {
            return ExtractStatus::TooLarge;
        }
        OdtEntry& record = entries.emplace_back();
        record.localPath = LocalPathOf(workFolder, name);
        record.packedName = std::move(name);
        if (IsDirectoryEntry(entry, record.packedName)) {
            continue;
        }
        std::error_code error;
        if (!std::filesystem::is_directory(record.localPath.parent_path(), error) &&
            !CreateFolderChain(record.localPath.parent_path())) {
            return ExtractStatus::WriteFailed;
        }
        const ExtractStatus extracted =
            ExtractData(reader.get(), record.localPath, buffer, total, limits);
        if (extracted != ExtractStatus::Extracted) {
            return extracted;
        }
        KeepModificationTime(record.localPath, entry);
    }
    return archive_read_close(reader.get()) == ARCHIVE_OK ? ExtractStatus::Extracted
                                                          : ExtractStatus::Unreadable;
}

bool RepackOdtContainer(const std::filesystem::path& output, const OdtEntryList& entries) {
    AtomicFile file(output);
    if (!file.IsOpen()) {
        return false;
    }
    const Utf8TextScope utf8Names;
    Writer writer(archive_write_new());
    if (!writer || archive_write_set_format_zip(writer.get()) != ARCHIVE_OK ||
        archive_write_set_options(writer.get(), "zip:compression-level=6") != ARCHIVE_OK ||
        // Names beyond ASCII are flagged as UTF-8 instead of being read in an old code page.
        archive_write_set_options(writer.get(), "zip:hdrcharset=UTF-8") != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(writer.get(), 65536) != ARCHIVE_OK ||
        // No padding after the end of the zip.
        archive_write_set_bytes_in_last_block(writer.get(), 1) != ARCHIVE_OK ||
        archive_write_open(writer.get(), &file, nullptr, &WriteToFile, nullptr) != ARCHIVE_OK) {
        return false;
    }
    std::vector<char> buffer(kArchiveCopyBlock);
    for (const OdtEntry& record : entries) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(
                std::filesystem::symlink_status(record.localPath, error))) {
            continue;
        }
        if (!AddEntry(writer.get(), record, buffer)) {
            return false;
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        return false;
    }
    return file.Commit();
}

}  // namespace melvane
