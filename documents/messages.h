// Every text the user reads about a document, in English and German: the window's boxes, the
// document paths' errors and the command line's summary lines. No other file spells them.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

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
};

// The text in `language`, with "%1", "%2", ... replaced by `arguments` in order.
std::u16string MessageText(Message message, Language language,
                           std::initializer_list<std::u16string_view> arguments = {});

// An error box about a file: `message` with the path as "%1" and, when there is one, the
// library's or system's reason on a line of its own as "%2".
UserMessage FileErrorMessage(Message message, Language language, const std::filesystem::path& path,
                             std::string_view reason);

}  // namespace melvane
