// One song sheet transposed, whichever front end asks: the extension decides the document path,
// the output name is proposed or resolved here, and every failure reaches the user through the
// message table in the job's language.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "chords/note_table.h"
#include "chords/sheet.h"
#include "platform/shell.h"
#include "platform/user_messages.h"

namespace melvane {

enum class DocumentKind {
    Unsupported,
    Odt,   // OpenDocument text, read and written as a package
    Docx,  // Word packages (.docx, .docm, .dotx, .dotm), read and written as a package
    Word,  // .doc, and .docx when asked, through Microsoft Word (Windows)
    Text,  // text and ChordPro sheets (.txt, .text, .cho, .crd, .chopro, .chordpro, .chord, .pro)
};

// By the extension, without regard to case.
DocumentKind KindOf(const std::filesystem::path& source);
// The extension without its dot, in lower case: "odt" for "Song.ODT".
std::u16string LowerCaseExtension(const std::filesystem::path& path);

// Beside the source: its folder, its name without extension, a marker for the step ("_" for
// 0, "+3", "-2") and its extension in lower case. "Songs/Hymn.DOCX" at +3 gives
// "Songs/Hymn+3.docx".
std::filesystem::path ProposeOutputPath(const std::filesystem::path& source, std::int64_t steps);

// An edited output name whose name part still ends in the marker for `from` steps ("Song+2.odt"
// at 2), with the marker for `to` instead; nothing when it carries no such marker.
std::optional<std::filesystem::path> MoveStepMarker(const std::filesystem::path& output,
                                                    std::int64_t from, std::int64_t to);

// How a typed output name's extension fits its source.
enum class OutputExtension {
    Fitting,        // the source's, in any case
    Missing,        // none, or one no document has ("Fassung 1.5"): the source's is added
    OtherDocument,  // another document's (.odt content named .docx): worth a question
};
OutputExtension CheckOutputExtension(const std::filesystem::path& source,
                                     const std::filesystem::path& output);
// The output with the source's extension: added when Missing, in place of the other one else.
std::filesystem::path WithSourceExtension(const std::filesystem::path& source,
                                          const std::filesystem::path& output);

// The output a job writes: a relative name is taken from the source's folder (not the
// process's), an absolute one and an empty one (which the document path reports, or for Word
// replaces by a name of its own) stay as they are.
std::filesystem::path ResolveOutputPath(const std::filesystem::path& source,
                                        const std::filesystem::path& output);

struct DocumentJob {
    std::filesystem::path source;
    std::filesystem::path output;  // relative: in the source's folder; see ResolveOutputPath
    TransposeSettings settings;
    Language language = Language::English;
    bool openOutput = true;    // open the written document with its default application
    bool throughWord = false;  // a .docx through Microsoft Word instead (Windows)
};

struct DocumentServices {
    const NoteTable& notes;
    UserMessages& messages;  // boxes in the window, stderr on the command line
    Shell& shell;
};

enum class DocumentFailure {
    None,
    Unsupported,       // not a kind of document above
    SameFile,          // the output would replace the source
    SourceUnreadable,  // the source or its package is broken, hostile or missing
    ContentBroken,     // the text part does not parse: nothing written
    NotAText,          // a text document holding NUL bytes without a UTF-16 byte order mark
    TooLarge,          // a text document over 256 MiB
    OutputNotWritten,  // the destination could not be created or written
    WordUnavailable,   // no Microsoft Word on this system
    WordNotStarted,
    WordNotOpened,
    WordNotRead,
    WordNotSaved,
};

struct DocumentResult {
    DocumentKind kind = DocumentKind::Unsupported;
    DocumentFailure failure = DocumentFailure::None;
    bool written = false;
    bool hadText = true;           // false: nothing to transpose, copied unchanged
    std::filesystem::path output;  // where the copy was written, or was to be
    // Text pieces (.odt, .docx; lines, or ChordPro's bracketed chords and keys, in a text) or
    // paragraphs (Word) changed.
    std::size_t changed = 0;
    std::size_t unchangeable = 0;  // Word paragraphs that could not be written back

    bool Succeeded() const { return written && unchangeable == 0; }
};

// Writes a transposed copy of `job.source`. Failures are shown through `services.messages`
// where they happen (one message per failure); the source is never changed, and the output
// appears only complete.
DocumentResult TransposeDocument(const DocumentJob& job, const DocumentServices& services);

// What a written copy changed, as melvane-cli's document line and the page say it after the
// names: the text pieces or Word paragraphs changed (and those Word could not), then the keys
// when spelled by key.
std::u16string ChangedText(const DocumentResult& result, const KeyReport& keys, Language language);

// The keys of `job.source`'s stretches as spelling by key reads them, without writing anything
// beside it: the sheet is moved by 0 into a private temporary folder that is removed again.
// Failures are reported as TransposeDocument reports them.
DocumentResult ReadDocumentKeys(const DocumentJob& job, const DocumentServices& services,
                                KeyReport& keys);

// The steps that take `from` to the tonic `to` by the shorter way (-5..+6), or by `direction`
// (+1 up, -1 down: 1..12 or -12..-1, never 0 unless `to` is `from`'s tonic).
int StepsToKey(const chords::SpelledKey& from, int toTonic, int direction);

// What a person sees of an .odt, a Word package or a text sheet, paragraph (line) by paragraph;
// false when it cannot be read.
bool ReadDocumentParagraphs(const std::filesystem::path& source,
                            std::vector<std::u16string>& paragraphs);

}  // namespace melvane
