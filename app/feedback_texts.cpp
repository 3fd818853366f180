#include "app/feedback_texts.h"

#include "documents/messages.h"

namespace melvane {

UserMessage OverwriteQuestion(Language language, const std::u16string& path) {
    return {MessageText(Message::QuestionTitle, language),
            MessageText(Message::OverwriteQuestion, language, {path}), MessageIcon::Question};
}

UserMessage SavedWhereMessage(Language language, const std::u16string& path) {
    return {MessageText(Message::InformationTitle, language),
            MessageText(Message::SavedWhere, language, {path}), MessageIcon::Information};
}

}  // namespace melvane
