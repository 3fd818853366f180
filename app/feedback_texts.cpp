#include "app/feedback_texts.h"

namespace melvane {

UserMessage OverwriteQuestion(Language language, const std::u16string& path) {
    return {Localized(language, u"Question", u"Frage"),
            Localized(language,
                      u"The file [" + path + u"] already exists.\r\rDo you want to replace it?",
                      u"Die Datei [" + path +
                          u"] ist bereits vorhanden.\r\rMöchten Sie sie "
                          u"ersetzen?"),
            MessageIcon::Question};
}

UserMessage SavedWhereMessage(Language language, const std::u16string& path) {
    return {u"Information",
            Localized(language,
                      u"The transposed document was saved as:\r" + path +
                          u"\r\rIt could not be opened: no program may be set up for this type "
                          u"of document.",
                      u"Das transponierte Dokument wurde gespeichert unter:\r" + path +
                          u"\r\rEs konnte nicht geöffnet werden: vielleicht ist kein Programm "
                          u"für diese Art Dokument eingerichtet."),
            MessageIcon::Information};
}

}  // namespace melvane
