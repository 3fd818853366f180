#include "odt/odt_document.h"

#include "platform/file_system.h"
#include "platform/temp_folder.h"

namespace melvane {
namespace {

// The work folder's name starts with this; a unique suffix keeps runs apart.
constexpr std::string_view kWorkFolderPrefix = ".hiddenDir";

void ShowError(UserMessages& messages, Language language, const std::u16string& english,
               const std::u16string& german) {
    messages.Show({Localized(language, u"Error", u"Fehler"), Localized(language, english, german),
                   MessageIcon::Error});
}

void ShowSourceUnreadable(UserMessages& messages, Language language,
                          const std::filesystem::path& source) {
    const std::u16string path = PathToText(source);
    ShowError(messages, language, u"The source file [" + path + u"] could not be read!",
              u"Die Quelldatei [" + path + u"] konnte nicht gelesen werden!");
}

void ShowDestinationNotCreated(UserMessages& messages, Language language,
                               const std::filesystem::path& output) {
    const std::u16string path = PathToText(output);
    ShowError(messages, language, u"The destination file [" + path + u"] could not be created!",
              u"Die Zieldatei [" + path + u"] konnte nicht erstellt werden!");
}

OdtFailure FailureOf(ExtractStatus status) {
    switch (status) {
        case ExtractStatus::Extracted:
            return OdtFailure::None;
        case ExtractStatus::Unreadable:
            return OdtFailure::SourceUnreadable;
        case ExtractStatus::UnsafeName:
            return OdtFailure::UnsafeEntry;
        case ExtractStatus::TooLarge:
            return OdtFailure::TooLarge;
        case ExtractStatus::WriteFailed:
            return OdtFailure::OutputNotCreated;
    }
    return OdtFailure::SourceUnreadable;
}

}  // namespace

OdtResult TransposeOdtDocument(const std::filesystem::path& source,
                               const std::filesystem::path& output, const OdtSettings& settings,
                               UserMessages& messages, Shell& shell) {
    OdtResult result;
    const Language language = settings.language;
    if (!output.empty() && IsSameFile(source, output)) {
        ShowError(messages, language, u"The destination file must differ from the source file!",
                  u"Die Zieldatei muss sich von der Quelldatei unterscheiden!");
        result.failure = OdtFailure::SameFile;
        return result;
    }

    TempFolder work(kWorkFolderPrefix);
    if (!work.IsCreated()) {
        ShowDestinationNotCreated(messages, language, output);
        result.failure = OdtFailure::OutputNotCreated;
        return result;
    }

    OdtEntryList entries;
    result.failure = FailureOf(ExtractOdtContainer(source, work.Path(), entries, settings.limits));
    if (result.failure == OdtFailure::OutputNotCreated) {
        ShowDestinationNotCreated(messages, language, output);
        return result;
    }
    if (result.failure != OdtFailure::None) {
        ShowSourceUnreadable(messages, language, source);
        return result;
    }

    const ContentResult content =
        TransposeContentXml(work.Path(), ChordShift{settings.notes, settings.transpose}, messages);
    result.content = content.status;
    result.piecesChanged = content.piecesChanged;
    if (content.status == ContentStatus::Failed || !RepackOdtContainer(output, entries)) {
        ShowDestinationNotCreated(messages, language, output);
        result.failure = OdtFailure::OutputNotCreated;
        return result;
    }
    result.outputWritten = true;

    work.Remove();
    if (settings.openOutput) {
        shell.OpenDocument(output);
    }
    return result;
}

}  // namespace melvane
