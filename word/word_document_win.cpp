#include "word/word_document.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "chords/lines.h"
#include "com/automation.h"
#include "com/last_error.h"
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

// The automation layer's account of the call that failed.
void Failed(WordResult& result, WordFailure failure) {
    result.failure = failure;
    result.errorCode = static_cast<std::uint32_t>(LastErrorCode());
    result.errorText = Utf16(LastErrorText());
}

// Word's paragraphs as lines for the line driver: a paragraph's lines end at the paragraph mark
// and at manual line breaks (U+000B). Paragraphs are read on the first pass (and kept when there
// is a second); a paragraph with a changed line is written back whole once its last line has
// been handed over. One that cannot be reached, read or written back is left as it was and
// counted.
class WordLines : public LineDocument {
  public:
    WordLines(AutomationHandle& document, std::int64_t count, bool twoPasses, WordResult& result)
        : document_(document), count_(count), keep_(twoPasses), result_(result) {}

    void ListLines(const TakeLine& take) override {
        const bool firstPass = !read_;
        read_ = true;
        std::optional<std::u16string> read;
        for (std::int64_t i = 1; i <= count_; ++i) {
            if (firstPass) {
                read = ReadParagraph(i);
                if (keep_) {
                    texts_.push_back(read);
                }
            }
            const std::optional<std::u16string>& text =
                firstPass ? read : texts_[static_cast<std::size_t>(i - 1)];
            if (text) {
                TakeParagraph(i, *text, take);
            }
            range_.reset();
        }
    }

    void Apply(PieceId, std::u16string_view text) override {
        changed_ = true;
        newText_.append(paragraph_.substr(copied_, lineStart_ - copied_));
        newText_ += text;
        copied_ = lineStart_ + lineLength_;
    }

  private:
    void TakeParagraph(std::int64_t i, std::u16string_view paragraph, const TakeLine& take) {
        paragraph_ = paragraph;
        newText_.clear();
        changed_ = false;
        copied_ = 0;
        std::size_t start = 0;
        for (std::size_t c = 0; c <= paragraph.size(); ++c) {
            if (c == paragraph.size() || paragraph[c] == u'\r' || paragraph[c] == u'\v') {
                lineStart_ = start;
                lineLength_ = c - start;
                const LinePiece line{paragraph.substr(start, c - start), PieceId(i)};
                take(std::span(&line, 1));
                start = c + 1;
            }
        }
        if (!changed_) {
            return;
        }
        newText_.append(paragraph.substr(copied_));
        if (WriteParagraph(i)) {
            ++result_.changed;
        } else {
            ++result_.failed;
        }
    }

    std::optional<std::u16string> ReadParagraph(std::int64_t i) {
        range_ = document_.QueryObject(Wide(ParagraphRangeCommand(i)));
        if (LastErrorCode() != 0 || !range_) {
            ++result_.failed;
            return std::nullopt;
        }
        std::u16string text = Utf16(range_->QueryText(Wide(kReadTextCommand)));
        if (LastCallFailed()) {
            ++result_.failed;
            return std::nullopt;
        }
        return text;
    }

    // Writes one paragraph's new text, through the range it was just read from when there is
    // one; false when Word would not take it.
    bool WriteParagraph(std::int64_t i) {
        if (!range_) {
            range_ = document_.QueryObject(Wide(ParagraphRangeCommand(i)));
            if (LastErrorCode() != 0 || !range_) {
                return false;
            }
        }
        return SUCCEEDED(range_->AssignProperty(Wide(AssignTextCommand(newText_))));
    }

    AutomationHandle& document_;
    std::int64_t count_;
    bool keep_;
    WordResult& result_;
    bool read_ = false;
    std::vector<std::optional<std::u16string>> texts_;
    AutomationHandlePtr range_;
    std::u16string_view paragraph_;
    std::u16string newText_;
    bool changed_ = false;
    std::size_t copied_ = 0;
    std::size_t lineStart_ = 0;
    std::size_t lineLength_ = 0;
};

}  // namespace

WordResult TransposeWordDocument(const std::u16string& sourcePath, const std::u16string& outputPath,
                                 const NoteTable& notes, const TransposeSettings& settings) {
    WordResult result;
    const std::u16string source = FullPath(sourcePath);
    result.outputPath = FullPath(outputPath.empty() ? WordOutputPath(sourcePath) : outputPath);

    AutomationHandlePtr application = CreateAutomationObject(Wide(kWordProgId), nullptr, true);
    if (!application) {
        Failed(result, WordFailure::NotStarted);
        return result;
    }
    RunningWord word(std::move(application));
    word->AssignProperty(Wide(kShowWordCommand));
    word->AssignProperty(Wide(kNoAlertsCommand));

    AutomationHandlePtr opened = word->QueryObject(Wide(OpenDocumentCommand(source)));
    if (!opened) {
        Failed(result, WordFailure::NotOpened);
        return result;
    }
    OpenDocument document(std::move(opened));

    // A count Word would not give must not pass for an empty document: the copy would be saved
    // untransposed and reported done.
    const std::int64_t count = document->QueryInteger(Wide(kParagraphCountCommand));
    if (LastCallFailed()) {
        Failed(result, WordFailure::NotRead);
        return result;
    }
    result.paragraphs = count > 0 ? static_cast<std::size_t>(count) : 0;
    WordLines lines(*document, count, NeedsLearning(settings), result);
    TransposeLines(lines, notes, settings);

    if (FAILED(word->CallMethod(Wide(SaveAsCommand(result.outputPath))))) {
        Failed(result, WordFailure::NotSaved);
        return result;
    }
    document.Close();
    word.Quit();
    result.saved = true;
    return result;
}

}  // namespace melvane
