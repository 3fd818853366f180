#include "cli/text_mode.h"

#include "text/text_lines.h"

namespace melvane::cli {
namespace {

class StreamSink final : public TextSink {
  public:
    explicit StreamSink(std::ostream& out) : out_(out) {}
    bool Write(std::string_view bytes) override {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out_);
    }

  private:
    std::ostream& out_;
};

}  // namespace

bool RunTextMode(const NoteTable& table, std::istream& in, std::ostream& out,
                 const TransposeSettings& settings) {
    StreamSink sink(out);
    const bool written = TransposeTextStream(in, table, settings, sink).written;
    out.flush();
    return written && static_cast<bool>(out);
}

}  // namespace melvane::cli
