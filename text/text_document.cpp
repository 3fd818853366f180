#include "text/text_document.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/file_system.h"
#include "text/text_lines.h"

namespace melvane {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};


// The whole file, refused when it is larger than the limit (also when it grows while read) or
// holds NUL bytes without a UTF-16 byte order mark.
TextFailure ReadText(const std::filesystem::path& path, std::string& bytes, std::string& reason) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kTextSizeLimit) {
        return TextFailure::TooLarge;
    }
    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    if (!file) {
        reason = std::strerror(errno != 0 ? errno : ENOENT);
        return TextFailure::SourceUnreadable;
    }
    bytes.resize(error ? std::size_t{1} << 16 : static_cast<std::size_t>(size) + 1);
    std::size_t got = 0;
    for (;;) {
        got += std::fread(bytes.data() + got, 1, bytes.size() - got, file.get());
        if (got > kTextSizeLimit) {
            return TextFailure::TooLarge;
        }
        if (got < bytes.size()) {
            break;
        }
        bytes.resize(bytes.size() * 2);
    }
    if (std::ferror(file.get())) {
        reason = std::strerror(errno != 0 ? errno : EIO);
        return TextFailure::SourceUnreadable;
    }
    bytes.resize(got);
    TextFormat format;
    const bool utf16 = FindByteOrderMark(bytes, format) && format.UnitSize() == 2;
    if (!utf16 && std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
        return TextFailure::NotText;
    }
    return TextFailure::None;
}

class FileSink final : public TextSink {
  public:
    explicit FileSink(AtomicFile& file) : file_(file) {}
    bool Write(std::string_view bytes) override { return file_.Write(bytes.data(), bytes.size()); }

  private:
    AtomicFile& file_;
};

}  // namespace

bool IsChordProName(const std::filesystem::path& path) {
    std::u16string extension = PathToText(path.extension());
    for (char16_t& c : extension) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return extension == u".cho" || extension == u".crd" || extension == u".chopro" ||
           extension == u".chordpro" || extension == u".chord" || extension == u".pro";
}

TextDocumentResult TransposeTextDocument(const std::filesystem::path& source,
                                         const std::filesystem::path& output,
                                         const NoteTable& notes,
                                         const TransposeSettings& settings) {
    TextDocumentResult result;
    std::string bytes;
    result.failure = ReadText(source, bytes, result.reason);
    if (result.failure != TextFailure::None) {
        return result;
    }
    AtomicFile file(output);
    if (!file.IsOpen()) {
        result.failure = TextFailure::OutputNotCreated;
        result.reason = file.LastErrorText();
        return result;
    }
    FileSink sink(file);
    const TextOutcome outcome =
        TransposeTextBytes(bytes, ListingFor(bytes, IsChordProName(source)), notes, settings, sink);
    if (!outcome.written || !file.Commit()) {
        result.failure = TextFailure::OutputNotCreated;
        result.reason = file.LastErrorText();
        return result;
    }
    result.written = true;
    result.changed = outcome.changed;
    return result;
}

TextFailure ReadTextDocumentLines(const std::filesystem::path& source,
                                  std::vector<std::u16string>& lines) {
    std::string bytes;
    std::string reason;
    const TextFailure failure = ReadText(source, bytes, reason);
    if (failure == TextFailure::None) {
        ReadTextLines(bytes, lines);
    }
    return failure;
}

}  // namespace melvane
