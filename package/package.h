// Zip packages (.odt, .docx) read and rewritten without unpacking them: one named entry is read
// into memory, and the output copies every other entry's compressed bytes as they are. No
// entry name ever becomes a file-system path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melvane {

// More than any song sheet needs, little enough to hold in memory several times over.
inline constexpr std::uint64_t kMaxEntryBytes = std::uint64_t{256} << 20;
inline constexpr std::uint64_t kMaxPackageEntries = 100000;
// What all copied entries may hold together once unpacked: every one is unpacked to be checked,
// so this bounds that work (about a second) as the entry cap bounds memory.
inline constexpr std::uint64_t kMaxPackageBytes = std::uint64_t{1} << 30;

enum class PackageError {
    None,
    // The source's faults: nothing is written.
    NotOpened,          // missing, unreadable, empty, not a zip, or its directory is damaged
    Ambiguous,          // a second end record, or directory and local headers disagree, or
                        // entries overlap: different readers would see different packages
    TooManyEntries,     // more than kMaxPackageEntries
    BadEntryName,       // absolute, "..", "\", drive letter, NUL, or a duplicate / alias
    EntryEncrypted,     // any entry
    EntryMissing,       // the entry asked for is not there
    UnsupportedMethod,  // an entry to read or copy is neither stored nor deflated
    EntryTooLarge,      // an entry to read or copy holds more than the cap
    EntryDamaged,       // the entry's data broke off, or its size or checksum is wrong
    // The destination's faults.
    NotWritten,  // the output could not be created, written or put in place
};

struct PackageStatus {
    PackageError error = PackageError::None;
    std::string reason;  // the library's or system's own words (UTF-8); may be empty

    bool Ok() const { return error == PackageError::None; }
    bool IsDestinationProblem() const { return error == PackageError::NotWritten; }
};

class PackageReader;

// Names of entries (raw bytes as stored) mapped to the bytes that replace their data.
using PackageReplacements = std::map<std::string, std::string, std::less<>>;

struct OpenedPackage {
    PackageStatus status;
    std::unique_ptr<PackageReader> reader;  // set when status is Ok
};

// Opens `path` read-only and checks every entry's name and encryption, so that a package that
// opens is one whose every entry can be copied safely.
OpenedPackage OpenPackage(const std::filesystem::path& path);

class PackageReader {
  public:
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    // Entry names in the package's order, as stored (directories end with "/").
    const std::vector<std::string>& EntryNames() const;
    bool Contains(std::string_view name) const;

    // Reads the whole data of entry `name` (exact stored name) into `bytes`. A declared size
    // over `cap` is refused before inflating; real data is checked against the declared size
    // and the cap while it is inflated, so at most `cap` bytes are ever produced.
    PackageStatus ReadEntry(std::string_view name, std::string& bytes,
                            std::uint64_t cap = kMaxEntryBytes) const;
    // The same into memory the caller provides: `allocate` is asked once for room for the
    // declared size (not at all for an empty entry) and may refuse with nullptr.
    PackageStatus ReadEntryInto(std::string_view name,
                                const std::function<char*(std::size_t size)>& allocate,
                                std::uint64_t cap = kMaxEntryBytes) const;

    struct State;

  private:
    friend OpenedPackage OpenPackage(const std::filesystem::path& path);
    friend PackageStatus WritePackage(PackageReader& reader,
                                      const std::filesystem::path& destination,
                                      const PackageReplacements& replacements);
    explicit PackageReader(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Writes the source package to `destination` with the data of each named entry replaced
// (deflated anew) and every other entry copied raw: compressed bytes, method, checksum, name,
// time and attributes as they were, directories included. Every entry copied raw is unpacked
// first, in constant memory, and must be stored or deflated, within the caps, and match its
// checksum and sizes bit for bit; otherwise the package is refused naming the entry and nothing
// is created. "mimetype", where present, is written stored with no extra
// field and no data descriptor. The file appears under its name only when complete; on any
// failure nothing is left behind. Every replaced name must exist in the package. The reader is
// spent afterwards: further calls on it fail.
PackageStatus WritePackage(PackageReader& reader, const std::filesystem::path& destination,
                           const PackageReplacements& replacements);

}  // namespace melvane
