#include "documents/messages.h"

#include "chords/key_spelling.h"
#include "platform/file_system.h"
#include "platform/utf.h"

namespace melvane {
namespace {

struct Wording {
    std::u16string_view english;
    std::u16string_view german;
};

Wording WordingOf(Message message) {
    switch (message) {
        case Message::InformationTitle:
            return {u"Information", u"Information"};
        case Message::ErrorTitle:
            return {u"Error", u"Fehler"};
        case Message::QuestionTitle:
            return {u"Question", u"Frage"};
        case Message::OverwriteQuestion:
            return {u"The file [%1] already exists.\r\rDo you want to replace it?",
                    u"Die Datei [%1] ist bereits vorhanden.\r\rMöchten Sie sie ersetzen?"};
        case Message::SavedWhere:
            return {
                u"The transposed document was saved as:\r%1\r\rIt could not be opened: no "
                u"program may be set up for this type of document.",
                u"Das transponierte Dokument wurde gespeichert unter:\r%1\r\rEs konnte nicht "
                u"geöffnet werden: vielleicht ist kein Programm für diese Art Dokument "
                u"eingerichtet."};
        case Message::NoSourceChosen:
            return {u"Please select or drop a sourcefile!",
                    u"Bitte wählen Sie eine Quelldatei aus!"};
        case Message::NoStepValue:
            return {u"Please input a transpose value!",
                    u"Bitte geben Sie einen Wert ein, um den das Sheet transponiert werden soll!"};
        case Message::SelectFileTitle:
            return {u"Select file", u"Datei auswählen"};
        case Message::FileFilters:
            return {
                u"Supported files (doc, docx, odt, txt, cho)|*.doc;*.docx;*.docm;*.dotx;*.dotm;"
                u"*.odt;*.txt;*.text;*.cho;*.crd;*.chopro;*.chordpro;*.chord;*.pro|"
                u"Word files (doc, docx)|*.doc;*.docx;*.docm;*.dotx;*.dotm|"
                u"Open Office files (odt)|*.odt|"
                u"Text and ChordPro files (txt, cho)|*.txt;*.text;*.cho;*.crd;*.chopro;*.chordpro;"
                u"*.chord;*.pro",
                u"Unterstützte Dateien (doc, docx, odt, txt, cho)|*.doc;*.docx;*.docm;*.dotx;"
                u"*.dotm;*.odt;*.txt;*.text;*.cho;*.crd;*.chopro;*.chordpro;*.chord;*.pro|"
                u"Word Dateien (doc, docx)|*.doc;*.docx;*.docm;*.dotx;*.dotm|"
                u"Open Office Dateien (odt)|*.odt|"
                u"Text- und ChordPro-Dateien (txt, cho)|*.txt;*.text;*.cho;*.crd;*.chopro;"
                u"*.chordpro;*.chord;*.pro"};
        case Message::SourceUnreadable:
            return {u"The source file [%1] could not be read!%2",
                    u"Die Quelldatei [%1] konnte nicht gelesen werden!%2"};
        case Message::DestinationNotCreated:
            return {u"The destination file [%1] could not be created!%2",
                    u"Die Zieldatei [%1] konnte nicht erstellt werden!%2"};
        case Message::SameFile:
            return {u"The destination file must differ from the source file!",
                    u"Die Zieldatei muss sich von der Quelldatei unterscheiden!"};
        case Message::XmlParseError:
            // The parser speaks English only, and so has this box always done.
            return {u"Error in the XML file:\rMessage: %1\rLine: %2 Character: %3",
                    u"Error in the XML file:\rMessage: %1\rLine: %2 Character: %3"};
        case Message::TextNotASheet:
            return {
                u"The file [%1] is not a text song sheet: it holds NUL bytes (a binary file, "
                u"or UTF-16 without a byte order mark).",
                u"Die Datei [%1] ist kein Liedblatt in Textform: sie enthält NUL-Bytes (eine "
                u"Binärdatei oder UTF-16 ohne Byte-Order-Mark)."};
        case Message::TextTooLarge:
            return {u"The file [%1] is larger than 256 MiB; it is not read as a song sheet.",
                    u"Die Datei [%1] ist größer als 256 MiB; sie wird nicht als Liedblatt "
                    u"gelesen."};
        case Message::WordNotStarted:
            return {
                u"Could not initialize the word object!\r\rPlease make sure to install a local "
                u"copy of Microsoft Word!\r\rError:\r",
                u"Microsoft Word konnte nicht initialisiert werden!\r\rBitte stellen Sie "
                u"sicher, dass eine lokale Kopie von Microsoft Word installiert ist!\r\r"
                u"Fehler:\r"};
        case Message::WordNotOpened:
            return {u"The Word file could not be opened!\r\rError:\r",
                    u"Die WORD Datei konnte nicht geöffnet werden!\r\rError:\r"};
        case Message::WordNotRead:
            return {u"The Word file could not be read!\r\rError:\r",
                    u"Die WORD Datei konnte nicht gelesen werden!\r\rFehler:\r"};
        case Message::WordNotSaved:
            return {u"The Word file could not be saved!\r\rError:\r",
                    u"Die WORD Datei konnte nicht gespeichert werden!\r\rFehler:\r"};
        case Message::WordNotRegistered:
            return {u"Microsoft Word is not installed or not registered on this computer.",
                    u"Microsoft Word ist auf diesem Computer nicht installiert oder nicht "
                    u"registriert."};
        case Message::WordServerFailed:
            return {u"Microsoft Word could not be started.",
                    u"Microsoft Word ließ sich nicht starten."};
        case Message::LineNotTransposed:
            return {u"not transposed: ", u"nicht transponiert: "};
        case Message::LineSameFile:
            return {u"the output would replace the source",
                    u"die Ausgabe würde die Quelle ersetzen"};
        case Message::LineSourceUnreadable:
            return {u"not a readable OpenDocument file", u"keine lesbare OpenDocument-Datei"};
        case Message::LineWordPackageUnreadable:
            return {u"not a readable Word document", u"kein lesbares Word-Dokument"};
        case Message::LineTextUnreadable:
            return {u"not a readable text file", u"keine lesbare Textdatei"};
        case Message::LineNotAText:
            return {u"not a text sheet (NUL bytes)", u"kein Liedblatt in Textform (NUL-Bytes)"};
        case Message::LineTextTooLarge:
            return {u"larger than 256 MiB", u"größer als 256 MiB"};
        case Message::LineOutputNotWritten:
            return {u"the output could not be written",
                    u"die Ausgabe konnte nicht geschrieben werden"};
        case Message::LineContentBroken:
            return {u"content.xml is broken; nothing written",
                    u"content.xml ist fehlerhaft; nichts geschrieben"};
        case Message::LineNotASongSheet:
            return {u"not a song sheet (.odt, .docx, .doc, .txt or ChordPro); not transposed",
                    u"kein Liedblatt (.odt, .docx, .doc, .txt oder ChordPro); nicht transponiert"};
        case Message::LineWordNeedsWindows:
            return {u"Word documents need Microsoft Word on Windows; not transposed",
                    u"Word-Dokumente brauchen Microsoft Word unter Windows; nicht transponiert"};
        case Message::LineWordNotStarted:
            return {u"Microsoft Word could not be started",
                    u"Microsoft Word konnte nicht gestartet werden"};
        case Message::LineWordNotOpened:
            return {u"Word could not open it", u"Word konnte es nicht öffnen"};
        case Message::LineWordNotRead:
            return {u"Word could not read its paragraphs",
                    u"Word konnte seine Absätze nicht lesen"};
        case Message::LineWordNotSaved:
            return {u"Word could not save the copy", u"Word konnte die Kopie nicht speichern"};
        case Message::LineNoText:
            return {u"no text (content.xml) to transpose; copied unchanged",
                    u"kein Text (content.xml) zum Transponieren; unverändert kopiert"};
        case Message::LineOneTextPieceChanged:
            return {u"%1 text piece changed", u"%1 Textstück geändert"};
        case Message::LineTextPiecesChanged:
            return {u"%1 text pieces changed", u"%1 Textstücke geändert"};
        case Message::LineOneParagraphChanged:
            return {u"%1 paragraph changed", u"%1 Absatz geändert"};
        case Message::LineParagraphsChanged:
            return {u"%1 paragraphs changed", u"%1 Absätze geändert"};
        case Message::LineOneCouldNotBeChanged:
            return {u"%1 could not be changed", u"%1 konnte nicht geändert werden"};
        case Message::LineSomeCouldNotBeChanged:
            return {u"%1 could not be changed", u"%1 konnten nicht geändert werden"};
        case Message::PrintWordUnreadable:
            return {u"not a readable Word document", u"kein lesbares Word-Dokument"};
        case Message::PrintOdtUnreadable:
            return {u"not a readable OpenDocument text", u"kein lesbarer OpenDocument-Text"};
        case Message::PrintTextUnreadable:
            return {u"not a readable text sheet", u"kein lesbares Liedblatt in Textform"};
        case Message::TextOutputNotWritten:
            return {u"could not write the output", u"die Ausgabe konnte nicht geschrieben werden"};
        case Message::PicturesNotLoaded:
            return {u"The program's pictures could not be loaded.",
                    u"Die Bilder des Programms konnten nicht geladen werden."};
        case Message::WindowNotCreated:
            return {u"The window could not be created.",
                    u"Das Fenster konnte nicht erstellt werden."};
        case Message::UnsupportedDocument:
            return {
                u"[%1] cannot be transposed.\r\rMelvane takes OpenDocument texts (.odt) and "
                u"Word documents (.docx, .doc).",
                u"[%1] kann nicht transponiert werden.\r\rMelvane nimmt OpenDocument-Texte "
                u"(.odt) und Word-Dokumente (.docx, .doc)."};
        case Message::OutputExtensionQuestion:
            return {
                u"The name [%1] ends in .%2, but the copy is a .%3 document like its "
                u"source.\r\rSave it as [%4]?\r(No: change the name.)",
                u"Der Name [%1] endet auf .%2, die Kopie ist aber wie ihre Quelle ein "
                u".%3-Dokument.\r\rAls [%4] speichern?\r(Nein: Namen ändern.)"};
        case Message::ReasonZipUnreadable:
            return {u"The file is not a readable zip package.",
                    u"Die Datei ist kein lesbares Zip-Paket."};
        case Message::ReasonDataError:
            return {u"The file's data are damaged.", u"Die Daten der Datei sind beschädigt."};
        case Message::ReasonAccessDenied:
            return {u"Access denied.", u"Zugriff verweigert."};
        case Message::ReasonPathNotFound:
            return {u"The path was not found.", u"Der Pfad wurde nicht gefunden."};
        case Message::ReasonDiskFull:
            return {u"The disk is full.", u"Der Datenträger ist voll."};
        case Message::XmlParseErrorIn:
            return {
                u"The text of [%1] is broken; nothing was written.\r\rMessage: %2\rLine: %3 "
                u"Character: %4",
                u"Der Text von [%1] ist fehlerhaft; es wurde nichts geschrieben.\r\r"
                u"Meldung: %2\rZeile: %3 Zeichen: %4"};
        case Message::WordFileNotStarted:
            return {
                u"[%1] is opened through Microsoft Word, which could not be started.\r\r"
                u"Error:\r",
                u"[%1] wird mit Microsoft Word geöffnet, das sich nicht starten ließ.\r\r"
                u"Fehler:\r"};
        case Message::WordFileNotOpened:
            return {u"Word could not open [%1]!\r\rError:\r",
                    u"Word konnte [%1] nicht öffnen!\r\rFehler:\r"};
        case Message::WordFileNotRead:
            return {u"Word could not read [%1]!\r\rError:\r",
                    u"Word konnte [%1] nicht lesen!\r\rFehler:\r"};
        case Message::WordFileNotSaved:
            return {u"Word could not save [%1]!\r\rError:\r",
                    u"Word konnte [%1] nicht speichern!\r\rFehler:\r"};
        case Message::SameFileNamed:
            return {u"The destination file [%1] must differ from the source file!",
                    u"Die Zieldatei [%1] muss sich von der Quelldatei unterscheiden!"};
        case Message::ControlDropZone:
            return {u"Song sheet: drop a file here or click to choose one",
                    u"Liedblatt: Datei hier ablegen oder klicken und wählen"};
        case Message::ControlDropZoneChosen:
            return {u"Song sheet: %1", u"Liedblatt: %1"};
        case Message::ControlRemoveFile:
            return {u"Remove the song sheet", u"Liedblatt entfernen"};
        case Message::ControlStepUp:
            return {u"One semitone up", u"Einen Halbton höher"};
        case Message::ControlStepDown:
            return {u"One semitone down", u"Einen Halbton tiefer"};
        case Message::ControlStepField:
            return {u"Transpose by (semitones)", u"Transponieren um (Halbtöne)"};
        case Message::ControlSharp:
            return {u"Spelling: sharp", u"Vorzeichen: Kreuz"};
        case Message::ControlFlat:
            return {u"Spelling: flat", u"Vorzeichen: b"};
        case Message::ControlOutputName:
            return {u"Save as", u"Speichern unter"};
        case Message::ControlTranspose:
            return {u"Transpose", u"Transponieren"};
        case Message::ControlGerman:
            return {u"Deutsch", u"Deutsch"};
        case Message::ControlEnglish:
            return {u"English", u"English"};
        case Message::ControlWebLink:
            return {u"Melvane on the web: %1", u"Melvane im Netz: %1"};
        case Message::ControlDownload:
            return {u"Download %1", u"%1 herunterladen"};
        case Message::ControlByKey:
            return {u"Spelling: by key", u"Vorzeichen: nach Tonart"};
        case Message::ByKeyNeedsSheetAwareWindow:
            return {
                u"Spelling by key reads the whole sheet. Melvane was started with --classic, "
                u"which moves every chord on its own: please choose sharp or flat.",
                u"Vorzeichen nach Tonart lesen das ganze Liedblatt. Melvane wurde mit "
                u"--classic gestartet und verschiebt jeden Akkord für sich: bitte wählen Sie "
                u"Kreuz oder b."};
        case Message::KeyMajor:
            return {u"%1 major", u"%1-Dur"};
        case Message::KeyMinor:
            return {u"%1 minor", u"%1-Moll"};
        case Message::KeyShortMajor:
            return {u"%1", u"%1-Dur"};
        case Message::KeyShortMinor:
            return {u"%1m", u"%1-Moll"};
        case Message::KeyChange:
            return {u"%1 → %2", u"%1 → %2"};
        case Message::LineKey:
            return {u"key %1", u"Tonart %1"};
        case Message::LineKeys:
            return {u"keys %1", u"Tonarten %1"};
        case Message::KeyDeclared:
            return {u"%1 (declared)", u"%1 (angegeben)"};
        case Message::KeyDetected:
            return {u"%1 (detected)", u"%1 (erkannt)"};
        case Message::ByKeyNeedsSheetAware:
            return {u"spelling by key reads the whole sheet: --by-key does not go with --classic",
                    u"Vorzeichen nach Tonart lesen das ganze Blatt: --by-key geht nicht mit "
                    u"--classic"};
        case Message::ToKeyUnknown:
            return {u"--to-key needs a key such as G, Bb, F#m or fis, not '%1'",
                    u"--to-key braucht eine Tonart wie G, B, fis oder F#m, nicht '%1'"};
        case Message::ToKeyWithSteps:
            return {
                u"--to-key finds the steps itself: no --steps with it; --up and --down only "
                u"go with --to-key",
                u"--to-key ermittelt die Halbtöne selbst: kein --steps dazu; --up und --down "
                u"nur mit --to-key"};
        case Message::KeyNeedsDocuments:
            return {u"--key needs documents, or --text to read standard input",
                    u"--key braucht Dokumente, oder --text für die Standardeingabe"};
        case Message::ToKeyNoKey:
            return {u"%1: no key found (no chords)", u"%1: keine Tonart gefunden (keine Akkorde)"};
        case Message::ToKeyOtherMode:
            return {u"%1: not transposed: it is in %2, --to-key %3 is of the other mode",
                    u"%1: nicht transponiert: es steht in %2, --to-key %3 ist das andere "
                    u"Tongeschlecht"};
    }
    return {};
}

}  // namespace

std::u16string MessageText(Message message, Language language,
                           std::initializer_list<std::u16string_view> arguments) {
    const Wording wording = WordingOf(message);
    const std::u16string_view text =
        language == Language::German ? wording.german : wording.english;
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
        const std::size_t number = static_cast<std::size_t>(next - u'1');
        if (text[i] == u'%' && next >= u'1' && next <= u'9') {
            if (number < arguments.size()) {
                result += *(arguments.begin() + number);
            }
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

namespace {

bool Mentions(std::string_view text, std::string_view phrase) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (std::size_t i = 0; i + phrase.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < phrase.size() && lower(text[i + k]) == phrase[k]) {
            ++k;
        }
        if (k == phrase.size()) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::u16string ReasonText(std::string_view reason, Language language) {
    if (language != Language::German) {
        return Utf8ToUtf16(reason);  // the libraries' and the system's own words are English
    }
    // The words libzip, the C library and Windows use for the causes users meet most.
    struct Known {
        std::string_view phrase;  // lower case
        Message message;
    };
    static constexpr Known kKnown[] = {
        {"permission denied", Message::ReasonAccessDenied},
        {"access is denied", Message::ReasonAccessDenied},
        {"no such file", Message::ReasonPathNotFound},
        {"cannot find the", Message::ReasonPathNotFound},
        {"no space left", Message::ReasonDiskFull},
        {"not enough space", Message::ReasonDiskFull},
        {"disk is full", Message::ReasonDiskFull},
        {"not a zip archive", Message::ReasonZipUnreadable},
        {"crc error", Message::ReasonDataError},
        {"read error", Message::ReasonDataError},
        {"data error", Message::ReasonDataError},
    };
    for (const Known& known : kKnown) {
        if (Mentions(reason, known.phrase)) {
            return MessageText(known.message, language);
        }
    }
    return Utf8ToUtf16(reason);
}

std::u16string KeyText(const chords::SpelledKey& key, Language language, bool shortForm) {
    const bool german = language == Language::German;
    const bool minor = key.mode == chords::Mode::Minor;
    // German writes a minor key's tonic in lower case, B-flat "B" and B-natural "H".
    const chords::NoteName tonic =
        chords::SpelledName(key.tonic, german ? chords::Form::Suffix : chords::Form::Sign,
                            german && minor, chords::Conventions{german, german});
    const Message message = shortForm ? (minor ? Message::KeyShortMinor : Message::KeyShortMajor)
                                      : (minor ? Message::KeyMinor : Message::KeyMajor);
    return MessageText(message, language, {tonic.View()});
}

std::u16string KeyChangeText(const chords::StretchKey& key, Language language) {
    return MessageText(Message::KeyChange, language,
                       {KeyText(key.from, language, true), KeyText(key.to, language, true)});
}

std::u16string KeysLineText(const std::vector<chords::StretchKey>& keys, Language language) {
    std::u16string list;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i == 3) {
            list += u", …";
            break;
        }
        list += (i == 0 ? u"" : u", ") + KeyChangeText(keys[i], language);
    }
    return MessageText(keys.size() == 1 ? Message::LineKey : Message::LineKeys, language, {list});
}

UserMessage FileErrorMessage(Message message, Language language, const std::filesystem::path& path,
                             std::string_view reason) {
    const std::u16string why =
        reason.empty() ? std::u16string() : u"\r" + ReasonText(reason, language);
    return {MessageText(Message::ErrorTitle, language),
            MessageText(message, language, {PathToText(path), why}), MessageIcon::Error};
}

}  // namespace melvane
