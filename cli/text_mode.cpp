#include "cli/text_mode.h"

#include <sstream>

#include "documents/documents.h"
#include "documents/messages.h"
#include "platform/utf.h"
#include "text/text_lines.h"

namespace melvane::cli {
namespace {

class NoSink final : public TextSink {
  public:
    bool Write(std::string_view) override { return true; }
};

std::string Say(Language language, Message message,
                std::initializer_list<std::u16string_view> arguments = {}) {
    return Utf16ToUtf8(MessageText(message, language, arguments));
}

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

void PrintKeys(const KeyReport& keys, std::string_view prefix, Language language,
               std::ostream& out) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        out << prefix << i + 1 << ": "
            << Say(language, keys[i].declared ? Message::KeyDeclared : Message::KeyDetected,
                   {KeyText(keys[i].from, language, false)})
            << '\n';
    }
}

std::optional<int> StepsForKey(const KeyReport& keys, const Options& options, std::string_view file,
                               Language language, std::ostream& err) {
    const std::u16string name = Utf8ToUtf16(file);
    if (keys.empty()) {
        err << "melvane-cli: " << Say(language, Message::ToKeyNoKey, {name}) << '\n';
        return std::nullopt;
    }
    const chords::StretchKey& first = keys.front();
    const std::optional<NamedKey> target =
        ParseKeyName(*options.toKey, options.naming == NoteNaming::German || first.germanCustom);
    if (!target) {
        return std::nullopt;  // refused with the arguments
    }
    if (target->mode && *target->mode != first.from.mode) {
        err << "melvane-cli: "
            << Say(language, Message::ToKeyOtherMode,
                   {name, KeyText(first.from, language, false), Utf8ToUtf16(*options.toKey)})
            << '\n';
        return std::nullopt;
    }
    return StepsToKey(first.from, target->tonic, options.direction);
}

int RunTextFilter(const NoteTable& table, std::istream& in, std::ostream& out, std::ostream& err,
                  const Options& options, Language language) {
    TransposeSettings settings = TransposeSettingsFor(options, language);
    const auto transpose = [&](std::istream& from) {
        if (RunTextMode(table, from, out, settings)) {
            return 0;
        }
        err << "melvane-cli: " << Say(language, Message::TextOutputNotWritten) << '\n';
        return 1;
    };
    if (!options.listKeys && !options.toKey) {
        return transpose(in);
    }
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = std::move(whole).str();
    KeyReport keys;
    TransposeSettings reading = settings;
    reading.steps = 0;
    reading.spelling = kSpellByKey;
    reading.recognition = Recognition::SheetAware;
    reading.keyReport = &keys;
    std::istringstream first(text);
    NoSink none;
    TransposeTextStream(first, table, reading, none);
    if (options.listKeys) {
        PrintKeys(keys, {}, language, out);
        out.flush();
        return out ? 0 : 1;
    }
    const std::optional<int> steps = StepsForKey(keys, options, "-", language, err);
    if (!steps) {
        return 1;
    }
    settings.steps = *steps;
    std::istringstream again(text);
    return transpose(again);
}

}  // namespace melvane::cli
