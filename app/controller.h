// What the window does when the user clicks, moves the pointer, edits the step, drops a file or
// starts the transposition. Everything here works on ControllerState and on small interfaces,
// so the behaviour is the same whatever draws the window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/controller_state.h"
#include "app/face.h"
#include "platform/shell.h"
#include "platform/user_messages.h"

namespace melvane {

class EditField {
  public:
    virtual ~EditField() = default;
    virtual std::u16string Text() const = 0;
    virtual void SetText(const std::u16string& text) = 0;
    virtual void SelectAll() = 0;
    virtual void Focus() = 0;
};

class FileDialog {
  public:
    virtual ~FileDialog() = default;
    // Modal open-file dialog. `filters` is "label|pattern|label|pattern...", the first pair
    // preselected. Returns the chosen path, or an empty text when the user cancelled.
    virtual std::u16string AskForFile(const std::u16string& title, const std::u16string& filters,
                                      const std::u16string& defaultFile) = 0;
};

// One transposition as the document paths receive it.
struct TransposeRequest {
    std::u16string source;
    std::u16string output;
    TransposeSettings transpose;
    Language language = Language::English;
};

// Which part of the form a failed transposition blames: that control gets the focus.
enum class Fault { None, Source, Steps, OutputName, Other };

// The documents layer, which picks the document's path by its kind.
class DocumentPaths {
  public:
    virtual ~DocumentPaths() = default;
    // Reports its own failures to the user; the result says what was at fault, if anything.
    virtual Fault Transpose(const TransposeRequest& request) = 0;
    // The first key of a chosen document, read without a word to the user; nothing when it has
    // none or cannot be read quietly (a Word document would start Word).
    virtual std::optional<chords::SpelledKey> FirstKey(const std::u16string& source) {
        (void)source;
        return std::nullopt;
    }
};

// The window's controls other than the two fields, as the keyboard reaches them.
class Controls {
  public:
    virtual ~Controls() = default;
    virtual void Focus(FocusTarget target) = 0;
};

struct ControllerServices {
    EditField& outputNameField;
    EditField& stepField;
    Controls& controls;
    Canvas& canvas;
    FileDialog& fileDialog;
    UserMessages& messages;
    Shell& shell;
    DocumentPaths& documents;
};

enum class CanvasEvent { LeftClick, PointerMove };

enum class Key { Tab, Enter, Space, Escape, Up, Down, Left, Right, PageUp, PageDown, F1, Letter };

struct KeyPress {
    Key key = Key::Letter;
    char16_t letter = 0;  // Key::Letter: the key's letter, upper case
    bool shift = false;
    bool control = false;
    bool alt = false;
};

class Controller {
  public:
    Controller(ControllerState& state, const ControllerServices& services);

    // A left click (reported on release) or a pointer movement at canvas coordinates.
    void HandleCanvasEvent(CanvasEvent event, int x, int y);
    // The step field's text changed. While the field has the focus the text is the user's
    // ("-", "+" and nothing are steps on the way); the value and the name follow it.
    void HandleStepEdit();
    // Whether the step field takes a typed character: digits and the signs.
    static bool StepFieldTakes(char16_t character);
    // A control was pressed: clicked, or Space or Enter while it has the focus.
    void Press(FocusTarget control);
    // A document given at start (the command line): chosen as if dropped.
    void OpenAtStart(const std::u16string& path);
    // A step given at start: taken as a settled value (clamped, shown, the name following).
    void PresetSteps(const std::u16string& text);
    // The pointer moved over the window outside the canvas's own events (client coordinates).
    void HandleWindowPointer(int x, int y);
    // Files dropped on the window; the first is taken.
    void HandleDrop(const std::vector<std::u16string>& paths);
    // A key pressed anywhere in the window. True when it was the window's (it then goes no
    // further); false leaves it to the field that has the caret.
    bool HandleKey(const KeyPress& press);
    // The user put the caret into a field (with the pointer, say).
    void HandleFocus(FocusTarget target);
    // Alt went down or up: the pictures underline the access keys while it is held.
    void ShowMnemonics(bool shown);

    // What was at fault when the transposition did not happen or failed; None on success.
    Fault TransposeAction();
    void RefreshOutputName(std::int64_t previousSteps);
    void ResetForm();
    void Redraw() { RedrawCanvas(state_, services_.canvas); }

  private:
    void HandleClick(int x, int y);
    void HandleMove(int x, int y);
    bool ChooseDocument(const std::u16string& path);
    void AskForDocument();
    void SetStep(std::int64_t steps);
    // Sharps, flats or by key; by key is refused (and said so) in the classic scan.
    void ChooseSpelling(int spelling);
    void CommitStep();
    void MoveFocus(FocusTarget target);
    void FocusChanged(FocusTarget target);
    void Transpose();
    bool ResolveOutputName();

    ControllerState& state_;
    ControllerServices services_;
};

// Path pieces as the window shows them. Separators are "\" and "/" on Windows, "/" elsewhere.
std::u16string DirectoryPart(std::u16string_view path);  // up to and including the separator
std::u16string FilePart(std::u16string_view path);
// The leading decimal number of a text, 0 when it has none; saturates instead of overflowing.
std::int64_t LeadingNumber(std::u16string_view text);

}  // namespace melvane
