// Recording stand-ins for everything the controller and the face talk to.
#pragma once

#include <string>
#include <vector>

#include "app/controller.h"

namespace melvane::fakes {

class FakeField : public EditField {
  public:
    std::u16string Text() const override { return text; }
    void SetText(const std::u16string& value) override {
        text = value;
        ++setCount;
    }
    void SelectAll() override { ++selectAllCount; }
    void Focus() override { ++focusCount; }

    std::u16string text;
    int setCount = 0;
    int selectAllCount = 0;
    int focusCount = 0;
};

class FakeDialog : public FileDialog {
  public:
    std::u16string AskForFile(const std::u16string& title, const std::u16string& filters,
                              const std::u16string& defaultFile) override {
        calls.push_back({title, filters, defaultFile});
        return answer;
    }
    struct Call {
        std::u16string title;
        std::u16string filters;
        std::u16string defaultFile;
    };
    std::vector<Call> calls;
    std::u16string answer;
};

class FakeDocuments : public DocumentPaths {
  public:
    Fault Transpose(const TransposeRequest& request) override {
        requests.push_back(request);
        return fault;
    }
    std::optional<chords::SpelledKey> FirstKey(const std::u16string&) override { return key; }
    std::vector<TransposeRequest> requests;
    Fault fault = Fault::None;
    std::optional<chords::SpelledKey> key;  // every document's first key
};

class FakeControls : public Controls {
  public:
    void Focus(FocusTarget target) override { focused.push_back(target); }
    std::vector<FocusTarget> focused;
};

// Every character is 7 pixels wide and text 16 high, so wrapping is easy to predict.
class RecordingCanvas : public Canvas {
  public:
    struct Picture {
        PictureRef ref;
        int x;
        int y;
    };
    struct Box {
        int x, y, width, height;
        Rgb colour;
    };
    struct Text {
        int x, y;
        std::u16string text;
        Rgb colour;
    };

    bool BeginDrawing() override {
        if (!canDraw)
            return false;
        pictures.clear();
        boxes.clear();
        texts.clear();
        ++frames;
        return true;
    }
    void EndDrawing() override { ++finishedFrames; }
    void DrawPicture(PictureRef ref, int x, int y) override { pictures.push_back({ref, x, y}); }
    void FillBox(int x, int y, int width, int height, Rgb colour) override {
        boxes.push_back({x, y, width, height, colour});
    }
    void DrawText(int x, int y, std::u16string_view text, Rgb colour) override {
        texts.push_back({x, y, std::u16string(text), colour});
    }
    int TextWidth(std::u16string_view text) override { return 7 * static_cast<int>(text.size()); }
    int TextHeight(std::u16string_view) override { return 16; }

    // Where a slot was drawn in the last frame; {-1, -1} when it was not.
    std::pair<int, int> PositionOf(int row, int slot) const {
        for (const Picture& p : pictures)
            if (p.ref.row == row && p.ref.slot == slot)
                return {p.x, p.y};
        return {-1, -1};
    }
    bool Drew(int row, int slot) const { return PositionOf(row, slot).first != -1; }

    bool canDraw = true;
    int frames = 0;
    int finishedFrames = 0;
    std::vector<Picture> pictures;
    std::vector<Box> boxes;
    std::vector<Text> texts;
};

// A controller with all its fakes, as the window would wire it.
struct ControllerRig {
    ControllerState state;
    FakeField outputName;
    FakeField step;
    FakeControls controls;
    RecordingCanvas canvas;
    FakeDialog dialog;
    RecordingUserMessages messages;
    RecordingShell shell;
    FakeDocuments documents;
    Controller controller{state,
                          {outputName, step, controls, canvas, dialog, messages, shell, documents}};

    ControllerRig() {
        step.text = std::u16string(1, u'0');
        controller.Redraw();
    }
    void Click(const HotArea& area) {
        controller.HandleCanvasEvent(CanvasEvent::LeftClick, (area.left + area.right) / 2,
                                     (area.top + area.bottom) / 2);
    }
    // The value set from outside the field (it has no focus): taken and shown at once.
    void TypeStep(const std::u16string& text) {
        step.text = text;
        controller.HandleStepEdit();
    }
    // Typed into the focused field, one state after the other.
    void TypeIntoStep(const std::vector<std::u16string>& states) {
        for (const auto& text : states) {
            step.text = text;
            controller.HandleStepEdit();
        }
    }
};

// A path in the platform's own form: folder parts joined with its separator.
inline std::u16string NativePath(std::initializer_list<std::u16string> parts) {
#ifdef _WIN32
    std::u16string path = u"C:";
    const char16_t separator = u'\\';
#else
    std::u16string path;
    const char16_t separator = u'/';
#endif
    for (const auto& part : parts)
        path += separator + part;
    return path;
}

}  // namespace melvane::fakes
