// The page's way into the documents layer. The page writes the chosen sheet into the module's
// in-memory file system, in the working folder, and calls these functions by name; each answers
// with a JSON text the page reads. Every word the page shows comes from here, out of the message
// table, in the face's language.
#include <emscripten/emscripten.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/face.h"
#include "chords/note_table.h"
#include "chords/sheet.h"
#include "documents/documents.h"
#include "documents/messages.h"
#include "package/package.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/utf.h"
#include "text/text_document.h"

namespace melvane {
namespace {

// The spelling choices the page offers, in order: the value TransposeSettings takes, what a
// screen reader says, and the stem of the window's picture for its label.
struct SpellingChoice {
    int value;
    Message label;
    std::string_view picture;
};
constexpr SpellingChoice kSpellings[] = {
    {kSpellSharps, Message::ControlSharp, "13_option_sharp"},
    {kSpellFlats, Message::ControlFlat, "14_option_flat"},
    {kSpellByKey, Message::ControlByKey, "28_option_by_key"},
};
// As in the window: spelled by the song's key unless the user says otherwise.
constexpr int kDefaultSpelling = kSpellByKey;

// Whatever the page reads in one file: the larger of the caps the formats read with.
constexpr std::uint64_t kSizeCap =
    kTextSizeLimit > kMaxEntryBytes ? kTextSizeLimit : kMaxEntryBytes;

Language LanguageOf(int language) {
    return language == 1 ? Language::German : Language::English;
}

class Json {
  public:
    Json& Key(std::string_view key) {
        text_ += text_.back() == '{' || text_.back() == '[' ? "\"" : ",\"";
        text_ += key;
        text_ += "\":";
        return *this;
    }
    Json& String(std::u16string_view value) { return String(Utf16ToUtf8(value)); }
    Json& String(std::string_view value) {
        text_ += '"';
        for (const char c : value) {
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += c;
            } else if (c == '\r' || c == '\n') {
                text_ += "\\n";  // the table breaks lines with "\r"
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                text_ += escaped;
            } else {
                text_ += c;
            }
        }
        text_ += '"';
        return *this;
    }
    Json& Number(double value) {
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", value);
        text_ += number;
        return *this;
    }
    Json& Bool(bool value) {
        text_ += value ? "true" : "false";
        return *this;
    }
    Json& Open(char bracket) {
        if (!text_.empty() && (text_.back() == '}' || text_.back() == ']')) {
            text_ += ',';
        }
        text_ += bracket;
        return *this;
    }
    Json& Close(char bracket) {
        text_ += bracket;
        return *this;
    }
    // The text stays valid until the next call into this file.
    const char* Done() {
        static std::string last;
        last = std::move(text_);
        return last.c_str();
    }

  private:
    std::string text_;
};

Json& Text(Json& json, std::string_view key, Message message, Language language,
           std::initializer_list<std::u16string_view> arguments = {}) {
    return json.Key(key).String(MessageText(message, language, arguments));
}

// Only a name: whatever stands before a folder separator is dropped, so that no typed name
// reaches outside the job's folder.
std::u16string NamePart(std::u16string_view text) {
    const std::size_t separator = text.find_last_of(u"/\\");
    std::u16string name(separator == std::u16string_view::npos ? text : text.substr(separator + 1));
    return name == u"." || name == u".." ? std::u16string() : name;
}

std::u16string Trimmed(std::u16string text) {
    const std::u16string_view blanks = u" \t\r\n\u00a0";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::u16string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The line that says what changed, as melvane-cli words it after the file names.
class NoShell : public Shell {
  public:
    bool OpenDocument(const std::filesystem::path&) override { return false; }
    bool OpenWebAddress(const std::u16string&) override { return false; }
};

}  // namespace
}  // namespace melvane

using namespace melvane;

extern "C" {

// Everything the page shows in one language: the controls' names, the texts of its checks and
// the spelling choices.
EMSCRIPTEN_KEEPALIVE const char* melvane_face(int languageCode) {
    const Language language = LanguageOf(languageCode);
    Json json;
    json.Open('{');
    json.Key("lang").String(language == Language::German ? "de" : "en");
    json.Key("infoLine").String(InfoLine(language));
    json.Key("webAddress").String(kWebAddress);
    Text(json, "webLink", Message::ControlWebLink, language, {kWebAddress});
    Text(json, "dropZone", Message::ControlDropZone, language);
    Text(json, "dropZoneChosen", Message::ControlDropZoneChosen, language, {u"%1"});
    Text(json, "removeFile", Message::ControlRemoveFile, language);
    Text(json, "stepUp", Message::ControlStepUp, language);
    Text(json, "stepDown", Message::ControlStepDown, language);
    Text(json, "stepField", Message::ControlStepField, language);
    Text(json, "outputName", Message::ControlOutputName, language);
    Text(json, "transpose", Message::ControlTranspose, language);
    Text(json, "german", Message::ControlGerman, language);
    Text(json, "english", Message::ControlEnglish, language);
    Text(json, "download", Message::ControlDownload, language, {u"%1"});
    Text(json, "selectFile", Message::SelectFileTitle, language);
    Text(json, "noSource", Message::NoSourceChosen, language);
    Text(json, "noSteps", Message::NoStepValue, language);
    Text(json, "errorTitle", Message::ErrorTitle, language);
    Text(json, "questionTitle", Message::QuestionTitle, language);
    Text(json, "informationTitle", Message::InformationTitle, language);
    // For a sheet the engine could not finish at all (out of memory): the page starts it anew.
    Text(json, "sourceUnreadable", Message::SourceUnreadable, language, {u"%1", u""});
    json.Key("sizeCap").Number(static_cast<double>(kSizeCap));
    json.Key("defaultSpelling").Number(kDefaultSpelling);
    json.Key("spellings").Open('[');
    for (const SpellingChoice& choice : kSpellings) {
        json.Open('{');
        json.Key("value").Number(choice.value);
        Text(json, "label", choice.label, language);
        json.Key("picture").String(choice.picture);
        json.Close('}');
    }
    json.Close(']');
    return json.Close('}').Done();
}

// Whether a file of this name and size can be taken; {"ok":false,"message":...} says why not
// before anything of it is read.
EMSCRIPTEN_KEEPALIVE const char* melvane_choose(const char* name, double size, int languageCode) {
    const Language language = LanguageOf(languageCode);
    const std::u16string file = Utf8ToUtf16(name);
    Json json;
    json.Open('{');
    if (KindOf(PathFromText(file)) == DocumentKind::Unsupported) {
        json.Key("ok").Bool(false);
        Text(json, "message", Message::UnsupportedDocument, language, {file});
    } else if (size > static_cast<double>(kSizeCap)) {
        json.Key("ok").Bool(false);
        Text(json, "message", Message::TextTooLarge, language, {file});
    } else {
        json.Key("ok").Bool(true);
    }
    return json.Close('}').Done();
}

// The output name proposed for a sheet at `steps`.
EMSCRIPTEN_KEEPALIVE const char* melvane_propose(const char* source, int steps) {
    return Json().String(PathToText(ProposeOutputPath(PathFromUtf8(source), steps))).Done();
}

// An edited name with the marker for `from` steps moved to `to`; "" when it carries none.
EMSCRIPTEN_KEEPALIVE const char* melvane_move_marker(const char* output, int from, int to) {
    const auto moved = MoveStepMarker(PathFromUtf8(output), from, to);
    return Json().String(moved ? PathToText(*moved) : std::u16string()).Done();
}

// How a typed output name fits the source, as the window checks it before transposing:
// {"name": the name to write, "question": set when the name has another document's extension}.
EMSCRIPTEN_KEEPALIVE const char* melvane_check_output(const char* source, const char* output,
                                                      int languageCode) {
    const Language language = LanguageOf(languageCode);
    const std::filesystem::path sourcePath = PathFromUtf8(source);
    // An empty name stays empty: the documents layer reports it as it does for the window.
    const std::u16string name = NamePart(Trimmed(Utf8ToUtf16(output)));
    Json json;
    json.Open('{');
    const std::filesystem::path outputPath = PathFromText(name);
    const OutputExtension fit =
        name.empty() ? OutputExtension::Fitting : CheckOutputExtension(sourcePath, outputPath);
    const std::u16string fixed = fit == OutputExtension::Fitting
                                     ? name
                                     : PathToText(WithSourceExtension(sourcePath, outputPath));
    json.Key("name").String(fixed);
    if (fit == OutputExtension::OtherDocument) {
        Text(json, "question", Message::OutputExtensionQuestion, language,
             {name, LowerCaseExtension(outputPath), LowerCaseExtension(sourcePath), fixed});
    }
    return json.Close('}').Done();
}

// Transposes `source` (a name in the working folder) into `output` (a name there too):
// {"ok", "output": the written file's name, "line": what changed, "title"/"message": why not}.
EMSCRIPTEN_KEEPALIVE const char* melvane_transpose(const char* source, const char* output,
                                                   int steps, int spelling, int languageCode) {
    static const NoteTable notes = BuildNoteTables();
    const Language language = LanguageOf(languageCode);
    DocumentJob job;
    job.source = PathFromText(NamePart(Utf8ToUtf16(source)));
    job.output = PathFromText(NamePart(Trimmed(Utf8ToUtf16(output))));
    job.settings.steps = steps;
    job.settings.spelling = spelling;
    KeyReport keys;
    job.settings.keyReport = &keys;
    job.settings.germanReader = language == Language::German;
    job.language = language;
    job.openOutput = false;
    RecordingUserMessages messages;
    NoShell shell;
    const DocumentResult result = TransposeDocument(job, {notes, messages, shell});

    Json json;
    json.Open('{');
    json.Key("ok").Bool(result.Succeeded());
    // The control the window would put the focus on.
    const bool outputFault = result.failure == DocumentFailure::SameFile ||
                             result.failure == DocumentFailure::OutputNotWritten;
    json.Key("fault").String(outputFault ? "output" : "source");
    if (result.written) {
        json.Key("output").String(PathToText(result.output));
        json.Key("line").String(ChangedText(result, keys, language));
    }
    std::u16string title;
    std::u16string text;
    for (const UserMessage& shown : messages.shown) {
        title = shown.title;
        text += (text.empty() ? u"" : u"\r\r") + shown.text;
    }
    if (text.empty() && result.failure == DocumentFailure::WordUnavailable) {
        title = MessageText(Message::ErrorTitle, language);
        text = MessageText(Message::LineWordNeedsWindows, language);
    } else if (text.empty() && result.failure == DocumentFailure::Unsupported) {
        title = MessageText(Message::ErrorTitle, language);
        text = MessageText(Message::UnsupportedDocument, language, {PathToText(job.source)});
    }
    if (!text.empty()) {
        json.Key("title").String(title);
        json.Key("message").String(text);
    }
    return json.Close('}').Done();
}

}  // extern "C"
