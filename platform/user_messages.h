// Telling the user something: a modal box in the window, a line on stderr for the command
// line, a record in tests. Code below the window and the command line only sees this interface.
#pragma once

#include <string>
#include <vector>

namespace melvane {

// The language of everything the user reads. The values are the ones the window's flags set.
enum class Language { English = 0, German = 1 };

// Picks the wording for the current language.
inline const std::u16string& Localized(Language language, const std::u16string& english,
                                       const std::u16string& german) {
    return language == Language::German ? german : english;
}

enum class MessageIcon { None, Information, Error, Question };

struct UserMessage {
    std::u16string title;
    std::u16string text;  // lines broken with "\r", paragraphs with "\r\r"
    MessageIcon icon = MessageIcon::None;
};

class UserMessages {
  public:
    virtual ~UserMessages() = default;
    // Shows the message and returns when the user has seen it (a modal box returns on OK).
    virtual void Show(const UserMessage& message) = 0;
    // A Yes/No question; true for Yes. Where nobody can answer, the answer is No, so nothing
    // is replaced unasked.
    virtual bool Ask(const UserMessage& question) {
        (void)question;
        return false;
    }
};

// Keeps every message instead of showing it, and gives `answer` to every question.
class RecordingUserMessages : public UserMessages {
  public:
    void Show(const UserMessage& message) override { shown.push_back(message); }
    bool Ask(const UserMessage& question) override {
        asked.push_back(question);
        return answer;
    }
    std::vector<UserMessage> shown;
    std::vector<UserMessage> asked;
    bool answer = true;
};

// Writes each message to standard error as "title: text" in UTF-8, line breaks as newlines.
class StderrUserMessages : public UserMessages {
  public:
    void Show(const UserMessage& message) override;
};

}  // namespace melvane
