#include "cli/text_mode.h"

#include <algorithm>
#include <string>
#include <vector>

#include "chords/lines.h"
#include "platform/utf.h"

namespace melvane::cli {
namespace {

// The whole of `in`. A file's size is asked first, so the text is read into place once.
std::string ReadAll(std::istream& in) {
    std::string input;
    std::streambuf* buffer = in.rdbuf();
    const auto size = buffer->pubseekoff(0, std::ios::end, std::ios::in);
    if (size > 0 && buffer->pubseekoff(0, std::ios::beg, std::ios::in) == 0) {
        input.reserve(static_cast<std::size_t>(size) + 1);
    }
    std::vector<char> block(1 << 16);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        input.append(block.data(), static_cast<std::size_t>(in.gcount()));
    }
    return input;
}

// The lines of a UTF-8 stream for the line driver: a line ends at a line feed. Each line is
// decoded on its own into one buffer (a line feed never occurs inside a UTF-8 sequence), and
// unchanged lines go out as the very bytes that came in.
//
// When the sheet is learned first, the whole input is read and kept for the second pass, and
// unchanged bytes are written in runs; otherwise every line is written as soon as it is read.
class TextLines : public LineDocument {
  public:
    TextLines(std::istream& in, std::ostream& out, bool keep) : in_(in), out_(out), keep_(keep) {}

    void ListLines(const TakeLine& take) override {
        if (!keep_) {
            Stream(take);
            return;
        }
        const bool transposing = read_;
        if (!read_) {
            input_ = ReadAll(in_);
            read_ = true;
        }
        const std::string_view input = input_;
        for (std::size_t start = 0; start <= input.size();) {
            const std::size_t end = std::min(input.find('\n', start), input.size());
            Take(input, start, end, take);
            start = end + 1;
        }
        if (transposing) {
            Write(input.substr(copied_));
        }
    }

    void Apply(PieceId, std::u16string_view text) override {
        Write(inputView_.substr(copied_, lineStart_ - copied_));
        Write(EncodeUtf8Lossless(text));
        copied_ = lineEnd_;
    }

  private:
    void Take(std::string_view input, std::size_t start, std::size_t end, const TakeLine& take) {
        inputView_ = input;
        lineStart_ = start;
        lineEnd_ = end;
        line_.clear();
        AppendUtf8Lossless(line_, input.substr(start, end - start));
        const LinePiece piece{line_, PieceId{start}};
        take(std::span(&piece, 1));
    }

    void Stream(const TakeLine& take) {
        std::vector<char> buffer(1 << 16);
        std::string pending;  // an unfinished line carried over to the next read
        const auto line = [&](std::string_view bytes) {
            copied_ = 0;
            const std::size_t end = bytes.back() == '\n' ? bytes.size() - 1 : bytes.size();
            Take(bytes, 0, end, take);
            Write(bytes.substr(copied_));
        };
        while (in_) {
            in_.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<std::size_t>(in_.gcount());
            if (got == 0) {
                break;
            }
            std::string_view chunk(buffer.data(), got);
            for (std::size_t newline = chunk.find('\n'); newline != std::string_view::npos;
                 newline = chunk.find('\n')) {
                if (pending.empty()) {
                    line(chunk.substr(0, newline + 1));
                } else {
                    pending.append(chunk.substr(0, newline + 1));
                    line(pending);
                    pending.clear();
                }
                chunk.remove_prefix(newline + 1);
            }
            pending.append(chunk);
        }
        if (!pending.empty()) {
            line(pending);
        }
    }

    void Write(std::string_view bytes) {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::istream& in_;
    std::ostream& out_;
    bool keep_;
    bool read_ = false;
    std::string input_;
    std::string_view inputView_;  // what the line being handed over is a part of
    std::size_t copied_ = 0;       // bytes of it already written or standing for it
    std::size_t lineStart_ = 0;
    std::size_t lineEnd_ = 0;
    std::u16string line_;
};

}  // namespace

bool RunTextMode(const NoteTable& table, std::istream& in, std::ostream& out,
                 const TransposeSettings& settings) {
    TextLines lines(in, out, NeedsLearning(settings));
    TransposeLines(lines, table, settings);
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace melvane::cli
