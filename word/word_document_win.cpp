#include "word/word_document.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "chords/sheet.h"
#include "chords/transpose.h"
#include "com/automation.h"
#include "com/last_error.h"
#include "documents/messages.h"
#include "platform/file_system.h"
#include "word/word_commands.h"
#include "word/word_output_name.h"

namespace melvane {
namespace {

// wchar_t is UTF-16 here, so the two string kinds convert unit for unit.
std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string Utf16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

bool LastCallFailed() {
    return FAILED(static_cast<HRESULT>(LastErrorCode()));
}

// Word is another process with its own working folder: it must be given full paths.
std::u16string FullPath(const std::u16string& path) {
    if (path.empty()) {
        return path;
    }
    const std::wstring wide = Wide(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < full.size()) {
            full.resize(length);
            return Utf16(full);
        }
        full.resize(length);
    }
}

// Word runs on in its own process when merely released: every way out of a run ends it.
class RunningWord {
  public:
    explicit RunningWord(AutomationHandlePtr application) : application_(std::move(application)) {}
    RunningWord(const RunningWord&) = delete;
    RunningWord& operator=(const RunningWord&) = delete;
    ~RunningWord() { Quit(); }

    AutomationHandle* operator->() const { return application_.get(); }
    void Quit() {
        if (application_) {
            application_->CallMethod(Wide(QuitWordCommand()));
            application_.reset();
        }
    }

  private:
    AutomationHandlePtr application_;
};

// Closed without saving before Word is asked to quit, so Word has nothing left to ask about.
class OpenDocument {
  public:
    explicit OpenDocument(AutomationHandlePtr document) : document_(std::move(document)) {}
    OpenDocument(const OpenDocument&) = delete;
    OpenDocument& operator=(const OpenDocument&) = delete;
    ~OpenDocument() { Close(); }

    AutomationHandle* operator->() const { return document_.get(); }
    AutomationHandle& operator*() const { return *document_; }
    void Close() {
        if (document_) {
            document_->CallMethod(Wide(CloseDocumentCommand()));
            document_.reset();
        }
    }

  private:
    AutomationHandlePtr document_;
};

// The automation layer's account of what went wrong is English. On the German face the causes
// a user meets most get a German sentence, and the account follows as the detail.
std::wstring Reason(Language language) {
    const std::wstring text = LastErrorText();
    if (language != Language::German) {
        return text;
    }
    const auto code = static_cast<std::uint32_t>(LastErrorCode());
    std::u16string sentence;
    if (code == 0x80040154u || code == 0x800401F3u) {  // class not registered, unknown ProgID
        sentence = MessageText(Message::WordNotRegistered, language);
    } else if (code == 0x80080005u) {  // the server failed to start
        sentence = MessageText(Message::WordServerFailed, language);
    }
    return sentence.empty() ? text : Wide(sentence) + L"\rDetails: " + text;
}

// The text ends with the automation layer's account of what went wrong.
void ShowError(UserMessages& messages, Language language, Message message,
               const std::wstring& reason) {
    messages.Show({MessageText(Message::ErrorTitle, language),
                   MessageText(message, language) + Utf16(reason), MessageIcon::Error});
}

void ShowSameFile(UserMessages& messages, Language language) {
    messages.Show({MessageText(Message::ErrorTitle, language),
                   MessageText(Message::SameFile, language), MessageIcon::Error});
}

// A paragraph's lines end at the paragraph mark and at manual line breaks (U+000B).
template <typename EachLine>
void ForEachLine(std::u16string_view paragraph, EachLine&& eachLine) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= paragraph.size(); ++i) {
        if (i == paragraph.size() || paragraph[i] == u'\r' || paragraph[i] == u'\v') {
            eachLine(start, paragraph.substr(start, i - start));
            start = i + 1;
        }
    }
}

std::u16string TransposeParagraph(const SheetTransposer& sheet, std::u16string_view paragraph) {
    std::u16string result;
    result.reserve(paragraph.size() + 8);
    std::size_t copied = 0;
    ForEachLine(paragraph, [&](std::size_t start, std::u16string_view line) {
        result.append(paragraph.substr(copied, start - copied));
        result += sheet.TransposeLine(line);
        copied = start + line.size();
    });
    result.append(paragraph.substr(std::min(copied, paragraph.size())));
    return result;
}

// Writes one paragraph's new text; false when Word would not take it.
bool WriteParagraph(AutomationHandle& document, std::int64_t i, const std::u16string& newText) {
    AutomationHandlePtr range = document.QueryObject(Wide(ParagraphRangeCommand(i)));
    if (LastErrorCode() != 0 || !range) {
        return false;
    }
    return SUCCEEDED(range->AssignProperty(Wide(AssignTextCommand(newText))));
}

// Sheet-aware: every paragraph is read first, so the whole sheet is learned before the first
// one is written. A paragraph that cannot be reached, read or written back is left as it was
// and counted.
void TransposeSheet(AutomationHandle& document, std::int64_t count, const WordSettings& settings,
                    WordResult& result) {
    std::vector<std::optional<std::u16string>> texts;
    texts.reserve(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 20)));
    SheetTransposer sheet(settings.notes, settings.transpose);
    for (std::int64_t i = 1; i <= count; ++i) {
        AutomationHandlePtr range = document.QueryObject(Wide(ParagraphRangeCommand(i)));
        if (LastErrorCode() != 0 || !range) {
            ++result.failed;
            texts.emplace_back();
            continue;
        }
        std::u16string text = Utf16(range->QueryText(Wide(kReadTextCommand)));
        if (LastCallFailed()) {
            ++result.failed;
            texts.emplace_back();
            continue;
        }
        ForEachLine(text, [&](std::size_t, std::u16string_view line) { sheet.Learn(line); });
        texts.emplace_back(std::move(text));
    }
    for (std::int64_t i = 1; i <= count; ++i) {
        const std::optional<std::u16string>& oldText = texts[static_cast<std::size_t>(i - 1)];
        if (!oldText) {
            continue;
        }
        const std::u16string newText = TransposeParagraph(sheet, *oldText);
        if (newText == *oldText) {
            continue;
        }
        if (WriteParagraph(document, i, newText)) {
            ++result.changed;
        } else {
            ++result.failed;
        }
    }
}

// Classic: every paragraph is transposed on its own as it is read. One that cannot be reached,
// read or written back is left as it was and counted.
void TransposeParagraphs(AutomationHandle& document, std::int64_t count,
                         const WordSettings& settings, WordResult& result) {
    if (settings.transpose.recognition == Recognition::SheetAware) {
        TransposeSheet(document, count, settings, result);
        return;
    }
    for (std::int64_t i = 1; i <= count; ++i) {
        AutomationHandlePtr range = document.QueryObject(Wide(ParagraphRangeCommand(i)));
        if (LastErrorCode() != 0 || !range) {
            ++result.failed;
            continue;
        }
        const std::u16string oldText = Utf16(range->QueryText(Wide(kReadTextCommand)));
        if (LastCallFailed()) {
            ++result.failed;
            continue;
        }
        const std::u16string newText = TransposeText(
            settings.notes, oldText, settings.transpose.steps, settings.transpose.spelling);
        if (newText == oldText) {
            continue;
        }
        if (FAILED(range->AssignProperty(Wide(AssignTextCommand(newText))))) {
            ++result.failed;
        } else {
            ++result.changed;
        }
    }
}

}  // namespace

WordResult TransposeWordDocument(const std::u16string& sourcePath, const std::u16string& outputPath,
                                 const WordSettings& settings, UserMessages& messages,
                                 Shell& shell) {
    const Language language = settings.language;
    WordResult result;
    const std::u16string source = FullPath(sourcePath);
    result.outputPath = FullPath(outputPath.empty() ? WordOutputPath(sourcePath) : outputPath);
    // Saving over the source would lose the original chords.
    if (IsSameFile(std::filesystem::path(Wide(source)),
                   std::filesystem::path(Wide(result.outputPath)))) {
        ShowSameFile(messages, language);
        result.failure = WordFailure::SameFile;
        return result;
    }

    AutomationHandlePtr application = CreateAutomationObject(Wide(kWordProgId), nullptr, true);
    if (!application) {
        ShowError(messages, language, Message::WordNotStarted, Reason(language));
        result.failure = WordFailure::NotStarted;
        return result;
    }
    RunningWord word(std::move(application));
    word->AssignProperty(Wide(kShowWordCommand));
    word->AssignProperty(Wide(kNoAlertsCommand));

    AutomationHandlePtr opened = word->QueryObject(Wide(OpenDocumentCommand(source)));
    if (!opened) {
        ShowError(messages, language, Message::WordNotOpened, Reason(language));
        result.failure = WordFailure::NotOpened;
        return result;
    }
    OpenDocument document(std::move(opened));

    // A count Word would not give must not pass for an empty document: the copy would be saved
    // untransposed and reported done.
    const std::int64_t count = document->QueryInteger(Wide(kParagraphCountCommand));
    if (LastCallFailed()) {
        ShowError(messages, language, Message::WordNotRead, Reason(language));
        result.failure = WordFailure::NotRead;
        return result;
    }
    result.paragraphs = count > 0 ? static_cast<std::size_t>(count) : 0;
    TransposeParagraphs(*document, count, settings, result);

    if (FAILED(word->CallMethod(Wide(SaveAsCommand(result.outputPath))))) {
        ShowError(messages, language, Message::WordNotSaved, Reason(language));
        result.failure = WordFailure::NotSaved;
        return result;
    }
    document.Close();
    word.Quit();

    if (settings.openOutput) {
        shell.OpenDocument(std::filesystem::path(Wide(result.outputPath)));
    }
    result.status = 1;
    return result;
}

}  // namespace melvane
