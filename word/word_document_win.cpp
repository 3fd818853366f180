#include "word/word_document.h"

#include <windows.h>

#include <filesystem>
#include <string_view>
#include <utility>

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

// Transposes every paragraph Word lists; one that cannot be reached, read or written back is
// left as it was and counted.
void TransposeParagraphs(AutomationHandle& document, std::int64_t count,
                         const WordSettings& settings, WordResult& result) {
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
        const std::u16string newText =
            TransposeText(settings.notes, oldText, settings.steps, settings.spelling);
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
        ShowError(messages, language, Message::WordNotStarted, LastErrorText());
        result.failure = WordFailure::NotStarted;
        return result;
    }
    RunningWord word(std::move(application));
    word->AssignProperty(Wide(kShowWordCommand));
    word->AssignProperty(Wide(kNoAlertsCommand));

    AutomationHandlePtr opened = word->QueryObject(Wide(OpenDocumentCommand(source)));
    if (!opened) {
        ShowError(messages, language, Message::WordNotOpened, LastErrorText());
        result.failure = WordFailure::NotOpened;
        return result;
    }
    OpenDocument document(std::move(opened));

    // A count Word would not give must not pass for an empty document: the copy would be saved
    // untransposed and reported done.
    const std::int64_t count = document->QueryInteger(Wide(kParagraphCountCommand));
    if (LastCallFailed()) {
        ShowError(messages, language, Message::WordNotRead, LastErrorText());
        result.failure = WordFailure::NotRead;
        return result;
    }
    result.paragraphs = count > 0 ? static_cast<std::size_t>(count) : 0;
    TransposeParagraphs(*document, count, settings, result);

    if (FAILED(word->CallMethod(Wide(SaveAsCommand(result.outputPath))))) {
        ShowError(messages, language, Message::WordNotSaved, LastErrorText());
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
