// Every text the user reads about a document, in English and German: the window's boxes, the
// document paths' errors and the command line's summary lines. No other file spells them.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/user_messages.h"

namespace melvane {

enum class Message {
    // Titles of message boxes.
    InformationTitle,
    ErrorTitle,
    QuestionTitle,
    // The window's feedback about its output. "%1" is the path.
    OverwriteQuestion,
    SavedWhere,
    // The window's checks and its file dialog.
    NoSourceChosen,
    NoStepValue,
    SelectFileTitle,
    FileFilters,
    // Message boxes of the document paths. "%1" is the path, "%2" the library's or system's
    // reason (on a line of its own when there is one).
    SourceUnreadable,
    DestinationNotCreated,
    SameFile,
    XmlParseError,  // %1 the parser's message, %2 line, %3 character
    TextNotASheet,  // a text document with NUL bytes and no UTF-16 byte order mark
    TextTooLarge,
    WordNotStarted,  // each Word text is followed by the COM error text
    WordNotOpened,
    WordNotRead,
    WordNotSaved,
    // Known reasons why Word could not be started, shown before the COM text on the German
    // face (which would otherwise end in an English sentence).
    WordNotRegistered,
    WordServerFailed,
    // melvane-cli's one line per document.
    LineNotTransposed,  // followed by one of the reasons below
    LineSameFile,
    LineSourceUnreadable,
    LineWordPackageUnreadable,
    LineTextUnreadable,
    LineNotAText,
    LineTextTooLarge,
    LineOutputNotWritten,
    LineContentBroken,
    LineNotASongSheet,
    LineWordNeedsWindows,
    LineWordNotStarted,
    LineWordNotOpened,
    LineWordNotRead,
    LineWordNotSaved,
    LineNoText,
    LineOneTextPieceChanged,
    LineTextPiecesChanged,
    LineOneParagraphChanged,
    LineParagraphsChanged,
    LineOneCouldNotBeChanged,
    LineSomeCouldNotBeChanged,
    // melvane-cli --print, after "melvane-cli: FILE: ".
    PrintWordUnreadable,
    PrintOdtUnreadable,
    PrintTextUnreadable,
    // melvane-cli --text, after "melvane-cli: ".
    TextOutputNotWritten,
    // Melvane.exe when it cannot start.
    PicturesNotLoaded,
    WindowNotCreated,
    // The window's choice of a document and of the output's name. %1 the file.
    UnsupportedDocument,
    OutputExtensionQuestion,  // %1 the name, %2 its extension, %3 the source's, %4 the fix
    // The details the libraries and the system give most often, in the face's language.
    ReasonZipUnreadable,
    ReasonDataError,
    ReasonAccessDenied,
    ReasonPathNotFound,
    ReasonDiskFull,
    // Parse errors and Word's failures naming the file. %1 the file.
    XmlParseErrorIn,  // %2 the parser's message, %3 line, %4 character
    WordFileNotStarted,
    WordFileNotOpened,
    WordFileNotRead,
    WordFileNotSaved,
    SameFileNamed,
    // What a screen reader says for each control of the window.
    ControlDropZone,
    ControlDropZoneChosen,  // %1 the chosen file's name
    ControlRemoveFile,
    ControlStepUp,
    ControlStepDown,
    ControlStepField,
    ControlSharp,
    ControlFlat,
    ControlOutputName,
    ControlTranspose,
    ControlGerman,
    ControlEnglish,
    ControlWebLink,  // %1 the address
    // The page's link to the transposed copy. %1 the file's name.
    ControlDownload,
    ControlByKey,
    ByKeyNeedsSheetAwareWindow,  // the window started with --classic
    // Keys. %1 the tonic's name.
    KeyMajor,
    KeyMinor,
    KeyShortMajor,  // in a line of several: "G", German "G-Dur"
    KeyShortMinor,  // "Em", German "e-Moll"
    KeyChange,      // %1 from, %2 to
    // melvane-cli's document line ends with the keys, after ", ". %1 one change or a list.
    LineKey,
    LineKeys,
    // melvane-cli --key: one line per stretch, after "FILE: N: ". %1 the key.
    KeyDeclared,
    KeyDetected,
    // melvane-cli's refusals and failures about keys, after "melvane-cli: ".
    ByKeyNeedsSheetAware,
    ToKeyUnknown,  // %1 the argument
    ToKeyWithSteps,
    KeyNeedsDocuments,
    ToKeyNoKey,      // %1 the file
    ToKeyOtherMode,  // %1 the file, %2 its key, %3 the key asked for
};

// Names of keys, as the messages write them.
namespace chords {
struct SpelledKey;
struct StretchKey;
}  // namespace chords

// "G major" / "G-Dur"; `shortForm`: "Em" / "e-Moll".
std::u16string KeyText(const chords::SpelledKey& key, Language language, bool shortForm);
// "G → Bb" / "G-Dur → B-Dur".
std::u16string KeyChangeText(const chords::StretchKey& key, Language language);
// The end of a document line: "key G → Bb", "keys G → Bb, Em → Gm, …" (three, then "…").
std::u16string KeysLineText(const std::vector<chords::StretchKey>& keys, Language language);

// The text in `language`, with "%1", "%2", ... replaced by `arguments` in order.
std::u16string MessageText(Message message, Language language,
                           std::initializer_list<std::u16string_view> arguments = {});

// An error box about a file: `message` with the path as "%1" and, when there is one, the
// library's or system's reason on a line of its own as "%2".
UserMessage FileErrorMessage(Message message, Language language, const std::filesystem::path& path,
                             std::string_view reason);

// A library's or the system's reason (English) as the face's language words it: in German a
// table text where one fits (access denied, path not found, disk full, damaged data, not a
// zip), else the reason as it is.
std::u16string ReasonText(std::string_view reason, Language language);

}  // namespace melvane
