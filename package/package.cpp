#include "package/package.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <system_error>
#include <unordered_map>

#include "package/zip_layout.h"
#include "platform/file_system.h"

namespace melvane {
namespace {

constexpr std::size_t kReadBlock = 65536;
constexpr std::uint64_t kMimetypeCap = 4096;
constexpr std::string_view kMimetype = "mimetype";
// zlib's last level without lazy matching, which still matches well on XML: the songbook's
// content.xml deflates 2.3 times as fast as at the default level 6, at 1.2 times its size.
constexpr int kDeflateLevel = 3;

std::string ErrnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// The system's error number for libzip's text; Windows' codes are not errno values.
int SystemErrorOf(const AtomicFile* file) {
#ifdef _WIN32
    (void)file;
    return 0;
#else
    return file != nullptr ? file->LastError() : 0;
#endif
}

// The source file as libzip sees it: read and seek on the source, and while a package is written,
// write and seek on the output. libzip writes the whole new archive through it, copying the
// untouched entries' compressed data across unchanged.
struct FileSource {
    std::FILE* in = nullptr;
    std::uint64_t size = 0;
    zip_error_t error{};
    AtomicFile* out = nullptr;
    std::uint64_t outPosition = 0;
    std::uint64_t outSize = 0;
    bool writeFailed = false;

    ~FileSource() {
        if (in != nullptr) {
            std::fclose(in);
        }
        zip_error_fini(&error);
    }

    bool SeekIn(std::uint64_t offset) {
#ifdef _WIN32
        return _fseeki64(in, static_cast<long long>(offset), SEEK_SET) == 0;
#else
        return fseeko(in, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    }
    std::int64_t TellIn() {
#ifdef _WIN32
        return _ftelli64(in);
#else
        return ftello(in);
#endif
    }

    zip_int64_t Fail(int zipError, int systemError) {
        zip_error_set(&error, zipError, systemError);
        return -1;
    }
    zip_int64_t FailWrite(int zipError, int systemError) {
        writeFailed = true;
        return Fail(zipError, systemError);
    }

    zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
            case ZIP_SOURCE_OPEN:
                return SeekIn(0) ? 0 : Fail(ZIP_ER_SEEK, errno);
            case ZIP_SOURCE_READ: {
                const std::size_t got = std::fread(data, 1, static_cast<std::size_t>(length), in);
                if (got < length && std::ferror(in)) {
                    return Fail(ZIP_ER_READ, errno);
                }
                return static_cast<zip_int64_t>(got);
            }
            case ZIP_SOURCE_CLOSE:
                return 0;
            case ZIP_SOURCE_STAT: {
                auto* stat = static_cast<zip_stat_t*>(data);
                zip_stat_init(stat);
                stat->size = size;
                stat->valid |= ZIP_STAT_SIZE;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&error, data, length);
            case ZIP_SOURCE_FREE:
                return 0;
            case ZIP_SOURCE_SEEK: {
                const std::int64_t now = TellIn();
                const zip_int64_t to = zip_source_seek_compute_offset(
                    now < 0 ? 0 : static_cast<zip_uint64_t>(now), size, data, length, &error);
                if (to < 0) {
                    return -1;
                }
                return SeekIn(static_cast<std::uint64_t>(to)) ? 0 : Fail(ZIP_ER_SEEK, errno);
            }
            case ZIP_SOURCE_TELL: {
                const std::int64_t now = TellIn();
                return now < 0 ? Fail(ZIP_ER_TELL, errno) : now;
            }
            case ZIP_SOURCE_BEGIN_WRITE:
                outPosition = 0;
                outSize = 0;
                return out != nullptr && out->IsOpen() ? 0 : FailWrite(ZIP_ER_OPEN, 0);
            case ZIP_SOURCE_WRITE:
                if (out == nullptr || !out->Write(data, static_cast<std::size_t>(length))) {
                    return FailWrite(ZIP_ER_WRITE, SystemErrorOf(out));
                }
                outPosition += length;
                outSize = std::max(outSize, outPosition);
                return static_cast<zip_int64_t>(length);
            case ZIP_SOURCE_SEEK_WRITE: {
                const zip_int64_t to =
                    zip_source_seek_compute_offset(outPosition, outSize, data, length, &error);
                if (to < 0 || out == nullptr || !out->Seek(static_cast<std::uint64_t>(to))) {
                    return FailWrite(ZIP_ER_SEEK, SystemErrorOf(out));
                }
                outPosition = static_cast<std::uint64_t>(to);
                return 0;
            }
            case ZIP_SOURCE_TELL_WRITE:
                return static_cast<zip_int64_t>(outPosition);
            case ZIP_SOURCE_COMMIT_WRITE:  // the caller commits once libzip is done
            case ZIP_SOURCE_ROLLBACK_WRITE:
            case ZIP_SOURCE_REMOVE:
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(
                    ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                    ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                    ZIP_SOURCE_SUPPORTS, ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE,
                    ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
                    ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE, -1);
            default:
                return Fail(ZIP_ER_OPNOTSUPP, 0);
        }
    }

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
        return static_cast<FileSource*>(self)->Handle(data, length, command);
    }
};


// Why the source did not open, in the system's words: on Windows the C library's errno folds
// many system errors into "No such file or directory", so the system's own code is used.
std::string OpenFailureText(const std::filesystem::path& path, int error) {
#ifdef _WIN32
    constexpr int kFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
    constexpr std::size_t kLongestPath = 32767;
    const int system = path.native().size() > kLongestPath ? kFilenameTooLong : _doserrno;
    if (system != 0) {
        return std::error_code(system, std::system_category()).message();
    }
#else
    (void)path;
#endif
    return ErrnoText(error);
}

bool IsDriveSegment(std::string_view segment) {
    return segment.size() >= 2 && segment[1] == ':' &&
           ((segment[0] >= 'A' && segment[0] <= 'Z') || (segment[0] >= 'a' && segment[0] <= 'z'));
}

// The name as an extractor would resolve it ("a//b", "./a/b" and "a/b/" all mean "a/b"), or
// nothing when it is not a plain relative name.
std::optional<std::string> NormalName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string normal;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view segment = name.substr(start, end - start);
        if (segment == ".." || IsDriveSegment(segment)) {
            return std::nullopt;
        }
        if (!segment.empty() && segment != ".") {
            if (!normal.empty()) {
                normal += '/';
            }
            normal += segment;
        }
        start = end + 1;
    }
    if (normal.empty()) {
        return std::nullopt;
    }
    return normal;
}

// A replaced entry's data, deflated here rather than by libzip, whose deflate always takes
// zlib's slowest level: libzip copies it as it copies the untouched entries.
struct DeflatedData {
    std::string compressed;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    time_t mtime = 0;
    std::uint64_t position = 0;
    zip_error_t error{};

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
        auto* deflated = static_cast<DeflatedData*>(self);
        switch (command) {
            case ZIP_SOURCE_OPEN:
                deflated->position = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                const std::uint64_t count = std::min<std::uint64_t>(
                    length, deflated->compressed.size() - deflated->position);
                std::memcpy(data, deflated->compressed.data() + deflated->position,
                            static_cast<std::size_t>(count));
                deflated->position += count;
                return static_cast<zip_int64_t>(count);
            }
            case ZIP_SOURCE_CLOSE:
                return 0;
            case ZIP_SOURCE_STAT: {
                auto* stat = static_cast<zip_stat_t*>(data);
                zip_stat_init(stat);
                stat->size = deflated->size;
                stat->comp_size = deflated->compressed.size();
                stat->comp_method = ZIP_CM_DEFLATE;
                stat->crc = deflated->crc;
                stat->mtime = deflated->mtime;
                stat->encryption_method = ZIP_EM_NONE;
                stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                               ZIP_STAT_CRC | ZIP_STAT_MTIME | ZIP_STAT_ENCRYPTION_METHOD;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&deflated->error, data, length);
            case ZIP_SOURCE_FREE:
                zip_error_fini(&deflated->error);
                delete deflated;
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                      ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                      ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
            default:
                zip_error_set(&deflated->error, ZIP_ER_OPNOTSUPP, 0);
                return -1;
        }
    }
};

// Raw deflate at kDeflateLevel (office suites take level 6: slower, a little smaller). The output
// grows by blocks: it is a fraction of the input, which must not be held twice.
bool Deflate(const std::string& bytes, DeflatedData& out) {
    z_stream stream{};
    if (deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    char block[kReadBlock];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(block);
        stream.avail_out = sizeof block;
        result = deflate(&stream, Z_FINISH);
        out.compressed.append(block, sizeof block - stream.avail_out);
    }
    deflateEnd(&stream);
    out.size = bytes.size();
    out.crc = static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
    return result == Z_STREAM_END;
}

// Exactly `size` bytes at `offset` of the source.
bool ReadAt(FileSource& source, std::uint64_t offset, void* data, std::size_t size) {
    return offset <= source.size && size <= source.size - offset && source.SeekIn(offset) &&
           std::fread(data, 1, size, source.in) == size;
}

PackageStatus Failure(PackageError error, std::string reason = {}) {
    return PackageStatus{error, std::move(reason)};
}

}  // namespace

struct PackageReader::State {
    FileSource source;
    zip_t* archive = nullptr;
    std::vector<std::string> names;
    std::unordered_map<std::string_view, zip_uint64_t> indexOf;
    zip_layout::Directory directory;  // as read from the file's own bytes

    ~State() {
        if (archive != nullptr) {
            zip_discard(archive);
        }
    }
};

PackageReader::PackageReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
PackageReader::~PackageReader() = default;

const std::vector<std::string>& PackageReader::EntryNames() const {
    return state_->names;
}

bool PackageReader::Contains(std::string_view name) const {
    return state_->indexOf.count(name) != 0;
}

namespace {

// The file's own records against libzip's reading of them: a package that two readers would
// see differently is refused, whichever of them is right.
PackageStatus CheckLayout(PackageReader::State& state) {
    FileSource& source = state.source;
    const zip_layout::ReadAt read = [&source](std::uint64_t offset, void* data, std::size_t size) {
        return ReadAt(source, offset, data, size);
    };
    zip_layout::Directory& directory = state.directory;
    std::string problem = zip_layout::ReadDirectory(read, source.size, directory);
    if (!problem.empty()) {
        return Failure(PackageError::Ambiguous, problem);
    }
    // libzip shows a NUL inside a name as a space: only the stored bytes tell.
    for (const zip_layout::Entry& entry : directory.entries) {
        if (entry.name.find('\0') != std::string::npos) {
            return Failure(PackageError::BadEntryName, "Entry name with a NUL character");
        }
    }
    if (directory.entries.size() != state.names.size()) {
        return Failure(PackageError::Ambiguous,
                       "its central directory does not hold the entries its end record counts");
    }
    for (zip_uint64_t index = 0; index < state.names.size(); ++index) {
        const zip_layout::Entry& entry = directory.entries[index];
        zip_stat_t stat;
        if (zip_stat_index(state.archive, index, ZIP_FL_ENC_RAW, &stat) != 0 ||
            entry.name != state.names[index] || entry.method != stat.comp_method ||
            entry.crc != stat.crc || entry.size != stat.size ||
            entry.compressedSize != stat.comp_size) {
            return Failure(PackageError::Ambiguous,
                           state.names[index] + ": zip readers disagree on its directory entry");
        }
    }
    problem = zip_layout::CheckLocalHeaders(read, directory);
    if (!problem.empty()) {
        return Failure(PackageError::Ambiguous, problem);
    }
    return {};
}

}  // namespace

OpenedPackage OpenPackage(const std::filesystem::path& path) {
    OpenedPackage result;
    auto state = std::make_unique<PackageReader::State>();
    FileSource& source = state->source;
    zip_error_init(&source.error);

    std::error_code kind;
    if (std::filesystem::is_directory(path, kind)) {
        result.status = Failure(PackageError::NotOpened, ErrnoText(EISDIR));
        return result;
    }
#ifdef _WIN32
    _doserrno = 0;
#endif
    source.in = OpenForReading(path);
    if (source.in == nullptr) {
        result.status = Failure(PackageError::NotOpened, OpenFailureText(path, errno));
        return result;
    }
    std::setvbuf(source.in, nullptr, _IOFBF, kReadBlock);
    std::error_code sizeError;
    source.size = std::filesystem::file_size(path, sizeError);
    if (sizeError) {
        result.status = Failure(PackageError::NotOpened, sizeError.message());
        return result;
    }
    // libzip takes an empty file for an empty package; a copy of it would pass for a document.
    if (source.size == 0) {
        result.status = Failure(PackageError::NotOpened, ZipErrorText(ZIP_ER_NOZIP));
        return result;
    }

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* zipSource = zip_source_function_create(&FileSource::Callback, &source, &error);
    zip_t* archive = zipSource != nullptr ? zip_open_from_source(zipSource, 0, &error) : nullptr;
    if (archive == nullptr) {
        result.status = Failure(PackageError::NotOpened, zip_error_strerror(&error));
        zip_error_fini(&error);
        if (zipSource != nullptr) {
            zip_source_free(zipSource);
        }
        return result;
    }
    zip_error_fini(&error);
    state->archive = archive;

    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > kMaxPackageEntries) {
        result.status = Failure(PackageError::TooManyEntries,
                                "More than " + std::to_string(kMaxPackageEntries) + " entries");
        return result;
    }
    state->names.reserve(static_cast<std::size_t>(count));
    std::set<std::string, std::less<>> files;
    std::set<std::string, std::less<>> folders;
    for (zip_uint64_t index = 0; index < static_cast<zip_uint64_t>(count); ++index) {
        zip_stat_t stat;
        const char* name = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
        if (name == nullptr || zip_stat_index(archive, index, ZIP_FL_ENC_RAW, &stat) != 0) {
            result.status = Failure(PackageError::NotOpened, zip_strerror(archive));
            return result;
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            result.status = Failure(PackageError::EntryEncrypted,
                                    ZipErrorText(ZIP_ER_ENCRNOTSUPP) + ": " + name);
            return result;
        }
        const std::string_view raw = name;
        const std::optional<std::string> normal = NormalName(raw);
        const bool isFolder = raw.back() == '/';
        // Each name once, and nothing both a file and a folder.
        if (!normal || files.count(*normal) != 0 || (!isFolder && folders.count(*normal) != 0) ||
            (isFolder && !folders.insert(*normal).second)) {
            result.status = Failure(PackageError::BadEntryName,
                                    "Unsafe or repeated entry name: " + std::string(raw));
            return result;
        }
        for (std::size_t slash = normal->find('/'); slash != std::string::npos;
             slash = normal->find('/', slash + 1)) {
            std::string parent = normal->substr(0, slash);
            if (files.count(parent) != 0) {
                result.status = Failure(PackageError::BadEntryName,
                                        "Unsafe or repeated entry name: " + std::string(raw));
                return result;
            }
            folders.insert(std::move(parent));
        }
        if (!isFolder) {
            files.insert(*normal);
        }
        state->names.emplace_back(raw);
    }
    const PackageStatus layout = CheckLayout(*state);
    if (!layout.Ok()) {
        result.status = layout;
        return result;
    }
    for (zip_uint64_t index = 0; index < state->names.size(); ++index) {
        state->indexOf.emplace(state->names[index], index);
    }
    result.reader.reset(new PackageReader(std::move(state)));
    return result;
}

PackageStatus PackageReader::ReadEntryInto(std::string_view name,
                                           const std::function<char*(std::size_t)>& allocate,
                                           std::uint64_t cap) const {
    if (state_->archive == nullptr) {
        return Failure(PackageError::NotOpened);
    }
    const auto found = state_->indexOf.find(name);
    if (found == state_->indexOf.end()) {
        return Failure(PackageError::EntryMissing,
                       ZipErrorText(ZIP_ER_NOENT) + ": " + std::string(name));
    }
    zip_t* archive = state_->archive;
    zip_stat_t stat;
    if (zip_stat_index(archive, found->second, 0, &stat) != 0) {
        return Failure(PackageError::EntryDamaged, zip_strerror(archive));
    }
    if (!(stat.valid & ZIP_STAT_COMP_METHOD) ||
        (stat.comp_method != ZIP_CM_STORE && stat.comp_method != ZIP_CM_DEFLATE)) {
        return Failure(PackageError::UnsupportedMethod, ZipErrorText(ZIP_ER_COMPNOTSUPP));
    }
    if (!(stat.valid & ZIP_STAT_SIZE) || stat.size > cap) {
        return Failure(
            PackageError::EntryTooLarge,
            "Entry larger than " + std::to_string(cap >> 20) + " MiB: " + std::string(name));
    }
    const auto size = static_cast<std::size_t>(stat.size);
    char* buffer = nullptr;
    if (size > 0 && (buffer = allocate(size)) == nullptr) {
        return Failure(PackageError::EntryTooLarge, ZipErrorText(ZIP_ER_MEMORY));
    }
    zip_file_t* file = zip_fopen_index(archive, found->second, 0);
    if (file == nullptr) {
        return Failure(PackageError::EntryDamaged, zip_strerror(archive));
    }
    // Exactly the declared size into the buffer, then one more read that must find the end: a
    // bomb that lies about its size stops after one byte past what it declared.
    PackageStatus status;
    std::size_t filled = 0;
    while (status.Ok() && filled < size) {
        const zip_int64_t got = zip_fread(file, buffer + filled, size - filled);
        if (got < 0) {
            status = Failure(PackageError::EntryDamaged, zip_file_strerror(file));
        } else if (got == 0) {
            status = Failure(PackageError::EntryDamaged, ZipErrorText(ZIP_ER_INCONS));
        } else {
            filled += static_cast<std::size_t>(got);
        }
    }
    if (status.Ok()) {
        char beyond = 0;
        const zip_int64_t got = zip_fread(file, &beyond, 1);
        if (got < 0) {
            status = Failure(PackageError::EntryDamaged, zip_file_strerror(file));
        } else if (got > 0) {
            status = Failure(PackageError::EntryDamaged, ZipErrorText(ZIP_ER_INCONS));
        }
    }
    zip_fclose(file);
    return status;
}

PackageStatus PackageReader::ReadEntry(std::string_view name, std::string& bytes,
                                       std::uint64_t cap) const {
    bytes.clear();
    const PackageStatus status = ReadEntryInto(
        name,
        [&bytes](std::size_t size) {
            bytes.resize(size);
            return bytes.data();
        },
        cap);
    if (!status.Ok()) {
        std::string().swap(bytes);
    }
    return status;
}

namespace {

// The source's bytes as they are: a package with nothing to change.
PackageStatus CopyWhole(FileSource& source, AtomicFile& file) {
    if (!source.SeekIn(0)) {
        return Failure(PackageError::NotOpened, ErrnoText(errno));
    }
    std::vector<char> block(kReadBlock);
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), source.in);
        if (got == 0) {
            if (std::ferror(source.in)) {
                return Failure(PackageError::NotOpened, ErrnoText(errno));
            }
            break;
        }
        if (!file.Write(block.data(), got)) {
            return Failure(PackageError::NotWritten, file.LastErrorText());
        }
    }
    return {};
}

// Every entry that will be copied raw, unpacked as libzip will copy it: the bytes checked are
// the bytes written.
PackageStatus VerifyCopiedEntries(const PackageReader::State& state,
                                  const PackageReplacements& replacements) {
    std::vector<zip_uint64_t> copied;
    std::uint64_t total = 0;
    // Methods and sizes first, from the directory: a bomb costs nothing.
    for (zip_uint64_t index = 0; index < state.names.size(); ++index) {
        const std::string& name = state.names[index];
        if (replacements.count(name) != 0 || name == kMimetype) {
            continue;  // written anew (mimetype from a checked read)
        }
        const zip_layout::Entry& entry = state.directory.entries[index];
        if (entry.method != ZIP_CM_STORE && entry.method != ZIP_CM_DEFLATE) {
            return Failure(PackageError::UnsupportedMethod,
                           name + ": it is compressed with method " + std::to_string(entry.method) +
                               ", which packages do not use");
        }
        total += entry.size;
        if (entry.size > kMaxEntryBytes) {
            return Failure(PackageError::EntryTooLarge, name + ": it unpacks to more than " +
                                                            std::to_string(kMaxEntryBytes >> 20) +
                                                            " MiB");
        }
        if (total > kMaxPackageBytes) {
            return Failure(PackageError::EntryTooLarge,
                           name + ": with it the entries unpack to more than " +
                               std::to_string(kMaxPackageBytes >> 20) + " MiB");
        }
        copied.push_back(index);
    }
    for (const zip_uint64_t index : copied) {
        const std::string& name = state.names[index];
        zip_file_t* file = zip_fopen_index(state.archive, index, ZIP_FL_COMPRESSED);
        if (file == nullptr) {
            return Failure(PackageError::EntryDamaged, name + ": " + zip_strerror(state.archive));
        }
        const std::string problem = zip_layout::VerifyEntryData(
            [file](void* data, std::size_t size) {
                return static_cast<std::int64_t>(zip_fread(file, data, size));
            },
            state.directory.entries[index]);
        zip_fclose(file);
        if (!problem.empty()) {
            return Failure(PackageError::EntryDamaged, name + ": " + problem);
        }
    }
    return {};
}

}  // namespace

PackageStatus WritePackage(PackageReader& reader, const std::filesystem::path& destination,
                           const PackageReplacements& replacements) {
    PackageReader::State& state = *reader.state_;
    if (state.archive == nullptr) {
        return Failure(PackageError::NotOpened);
    }
    for (const auto& [name, bytes] : replacements) {
        if (!reader.Contains(name)) {
            return Failure(PackageError::EntryMissing, ZipErrorText(ZIP_ER_NOENT) + ": " + name);
        }
    }
    // Read before anything is created: a broken mimetype is the source's fault.
    std::string mimetype;
    const bool hasMimetype = reader.Contains(kMimetype);
    if (hasMimetype && replacements.count(kMimetype) == 0) {
        const PackageStatus read = reader.ReadEntry(kMimetype, mimetype, kMimetypeCap);
        if (!read.Ok()) {
            return read;
        }
    }

    const PackageStatus verified = VerifyCopiedEntries(state, replacements);
    if (!verified.Ok()) {
        return verified;
    }

    AtomicFile file(destination);
    if (!file.IsOpen()) {
        return Failure(PackageError::NotWritten, file.LastErrorText());
    }
    if (replacements.empty() && !hasMimetype) {
        const PackageStatus copied = CopyWhole(state.source, file);
        if (!copied.Ok()) {
            return copied;
        }
        return file.Commit() ? PackageStatus{}
                             : Failure(PackageError::NotWritten, file.LastErrorText());
    }

    zip_t* archive = state.archive;
    const auto replace = [&](std::string_view name, const std::string& bytes,
                             zip_int32_t method) -> bool {
        const zip_uint64_t index = state.indexOf.at(name);
        zip_stat_t stat;
        const bool hasTime =
            zip_stat_index(archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_MTIME);
        zip_source_t* data = nullptr;
        if (method == ZIP_CM_DEFLATE) {
            auto deflated = std::make_unique<DeflatedData>();
            zip_error_init(&deflated->error);
            deflated->mtime = hasTime ? stat.mtime : time(nullptr);
            if (!Deflate(bytes, *deflated)) {
                zip_error_fini(&deflated->error);
                return false;
            }
            data = zip_source_function(archive, &DeflatedData::Callback, deflated.get());
            if (data != nullptr) {
                deflated.release();  // the source frees it
            } else {
                zip_error_fini(&deflated->error);
            }
        } else {
            data = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        }
        if (data == nullptr) {
            return false;
        }
        if (zip_file_replace(archive, index, data, 0) != 0) {
            zip_source_free(data);
            return false;
        }
        return (method != ZIP_CM_STORE ||
                zip_set_file_compression(archive, index, ZIP_CM_STORE, 0) == 0) &&
               (!hasTime || zip_file_set_mtime(archive, index, stat.mtime, 0) == 0);
    };
    bool prepared = true;
    for (const auto& [name, bytes] : replacements) {
        prepared =
            prepared && replace(name, bytes, name == kMimetype ? ZIP_CM_STORE : ZIP_CM_DEFLATE);
    }
    if (prepared && hasMimetype) {
        const auto given = replacements.find(kMimetype);
        prepared =
            (given != replacements.end() || replace(kMimetype, mimetype, ZIP_CM_STORE)) &&
            zip_file_extra_field_delete(archive, state.indexOf.at(kMimetype), ZIP_EXTRA_FIELD_ALL,
                                        ZIP_FL_LOCAL | ZIP_FL_CENTRAL) == 0;
    }
    if (!prepared) {
        return Failure(PackageError::NotWritten, zip_strerror(archive));
    }

    state.source.out = &file;
    const int closed = zip_close(archive);
    state.source.out = nullptr;
    if (closed != 0) {
        PackageStatus failed = state.source.writeFailed
                                   ? Failure(PackageError::NotWritten, zip_strerror(archive))
                                   : Failure(PackageError::EntryDamaged, zip_strerror(archive));
        zip_discard(archive);
        state.archive = nullptr;
        return failed;
    }
    // zip_close freed the archive and its source callback's hold on the file.
    state.archive = nullptr;
    return file.Commit() ? PackageStatus{}
                         : Failure(PackageError::NotWritten, file.LastErrorText());
}

}  // namespace melvane
