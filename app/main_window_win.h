// The Melvane window: a fixed face drawn on one canvas and, on top of it, a real child window
// for every control (owner-drawn buttons showing the face beneath them, two edit fields and
// their labels), so that Tab, the focus and screen readers find each one.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>

#include "app/accessible_control_win.h"
#include "app/controller.h"
#include "app/pictures.h"
#include "app/win32_canvas_win.h"
#include "app/win32_services_win.h"

namespace melvane {

// Control ids.
inline constexpr int kMainWindowId = 0;
inline constexpr int kCanvasId = 6;
inline constexpr int kOutputNameFieldId = 7;
inline constexpr int kStepFieldId = 8;
inline constexpr int kStepLabelId = 9;
inline constexpr int kOutputNameLabelId = 10;
// The buttons: kFirstButtonId + their place in kWindowButtons.
inline constexpr int kFirstButtonId = 20;
inline constexpr FocusTarget kWindowButtons[] = {
    FocusTarget::DropZone,    FocusTarget::RemoveFile,      FocusTarget::StepUp,
    FocusTarget::StepDown,    FocusTarget::SharpOption,     FocusTarget::FlatOption,
    FocusTarget::ByKeyOption, FocusTarget::TransposeButton, FocusTarget::GermanFlag,
    FocusTarget::EnglishFlag, FocusTarget::WebLink,
};
inline constexpr std::size_t kWindowButtonCount = std::size(kWindowButtons);

// What the window reports to and hands work to. A null `messages` or `fileDialog` means the
// window's own message boxes and open-file dialog.
struct WindowServices {
    Shell& shell;
    DocumentPaths& documents;
    UserMessages* messages = nullptr;
    FileDialog* fileDialog = nullptr;
    int imagesDpi = 96;  // the display scale the given pictures were loaded for
};

// The DPI of the primary display, before any window exists.
int PrimaryDisplayDpi();

class MainWindow : private Controls {
  public:
    MainWindow(const ImageSet& images, Language language, const WindowServices& services);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and its controls and draws the face. False when Windows refused.
    bool Create(HINSTANCE instance, int showCommand);
    // Runs until the window is closed.
    int RunEventLoop();
    // Handles whatever is queued as the event loop does, and returns (tests, snapshots).
    void ProcessPendingMessages();

    HWND Handle() const { return window_; }
    HWND CanvasHandle() const { return canvas_; }
    HWND StepFieldHandle() const { return stepField_.Handle(); }
    HWND OutputNameFieldHandle() const { return outputNameField_.Handle(); }
    // The child window of a control; null for None.
    HWND ControlHandle(FocusTarget target) const;
    // What a screen reader is told about one of the window's controls.
    AccessibleFacts FactsOf(HWND control) const;
    ControllerState& State() { return state_; }
    // The display's DPI the window is laid out for (96 is 100 %).
    int Dpi() const { return face_.Scale().dpi; }
    // Face units to the window's pixels.
    int Device(int units) const { return face_.Scale().Pixels(units); }
    Controller& Actions() { return *controller_; }
    const Win32Canvas& Face() const { return face_; }
    MessageBoxes& OwnMessageBoxes() { return messageBoxes_; }
    // Called once, when the face has been painted on screen for the first time.
    void OnFirstPaint(std::function<void()> callback) { onFirstPaint_ = std::move(callback); }

  private:
    // The face as the controller draws it; each finished frame brings the controls up to date.
    class ControlsCanvas : public Canvas {
      public:
        explicit ControlsCanvas(MainWindow& owner) : owner_(owner) {}
        bool BeginDrawing() override { return owner_.face_.BeginDrawing(); }
        void EndDrawing() override {
            owner_.face_.EndDrawing();
            owner_.SyncControls();
        }
        void DrawPicture(PictureRef picture, int x, int y) override {
            owner_.face_.DrawPicture(picture, x, y);
        }
        void FillBox(int x, int y, int width, int height, Rgb colour) override {
            owner_.face_.FillBox(x, y, width, height, colour);
        }
        void DrawText(int x, int y, std::u16string_view text, Rgb colour) override {
            owner_.face_.DrawText(x, y, text, colour);
        }
        int TextWidth(std::u16string_view text) override { return owner_.face_.TextWidth(text); }
        int TextHeight(std::u16string_view text) override { return owner_.face_.TextHeight(text); }

      private:
        MainWindow& owner_;
    };

    // Controls
    void Focus(FocusTarget target) override;

    // Places, names, shows or hides the child windows as the state has them, and has them
    // repainted from the new face.
    void SyncControls();
    bool CreateControls(HINSTANCE instance);
    // Keys and clicks of the child windows before their own procedures see them.
    static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);
    // The one window procedure of both window classes: it finds the MainWindow that created
    // `window` and hands the message to `Handler`, which serves it while `Handle` is `window`.
    template <LRESULT (MainWindow::*Handler)(UINT, WPARAM, LPARAM), HWND MainWindow::*Handle>
    static LRESULT CALLBACK Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleCanvasMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleControlColour(HDC dc);
    void HandleDrop(HDROP drop);
    // Keys for the window as a whole, before the field with the caret sees them. True when
    // the window took the key.
    bool TranslateKey(const MSG& message);
    void Dispatch(MSG& message);
    // Pictures, fonts, canvas, window size and field places for a display of `dpi`.
    void ApplyDpi(int dpi);
    void PlaceFields();

    const ImageSet& images_;  // for services_.imagesDpi
    std::unique_ptr<ImageSet> scaledImages_;
    WindowServices services_;
    ControllerState state_;
    ScopedFont font_;       // text drawn on the face
    ScopedFont fieldFont_;  // the edit fields
    ScopedBrush fieldBrush_;
    HWND window_ = nullptr;
    HWND canvas_ = nullptr;
    Win32EditField outputNameField_;
    Win32EditField stepField_;
    std::array<HWND, kWindowButtonCount> buttons_{};
    HWND stepLabel_ = nullptr;
    HWND outputNameLabel_ = nullptr;
    MessageBoxes messageBoxes_;
    Win32FileDialog fileDialog_;
    Win32Canvas face_;
    ControlsCanvas controlsCanvas_{*this};
    std::unique_ptr<Controller> controller_;
    bool pressedOnCanvas_ = false;
    bool altShortcutUsed_ = false;  // Alt's release then opens no system menu
    std::function<void()> onFirstPaint_;
};

}  // namespace melvane
