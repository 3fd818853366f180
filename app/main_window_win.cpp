#include "app/main_window_win.h"

#include <commctrl.h>
#include <oleacc.h>
#include <shellapi.h>
#include <windowsx.h>

#include <string>
#include <utility>
#include <vector>

#include "documents/messages.h"
#include "melvane_version.h"

namespace melvane {
namespace {

constexpr wchar_t kWindowClass[] = L"MelvaneMainWindow";
constexpr wchar_t kCanvasClass[] = L"MelvaneCanvas";
constexpr wchar_t kTitle[] = L"Melvane v" MELVANE_VERSION_SHORT;
// The captions' ink: well above 4.5:1 on the fields' white.
constexpr COLORREF kFieldTextColour = RGB(24, 38, 56);

// Fixed size: a title bar with the minimise and close boxes, no sizing border; files may be
// dropped.
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExtendedStyle = WS_EX_ACCEPTFILES;

// The edit fields and their frames, in face units.
constexpr RECT kOutputNameRect{262, 308, 262 + 305, 308 + 25};
constexpr RECT kStepRect{264, 198, 264 + 30, 198 + 25};
// The fields' captions, which label them.
constexpr RECT kStepLabelRect{260, 140, 400, 160};
constexpr RECT kOutputNameLabelRect{260, 282, 560, 300};

HotArea AreaOf(const HotAreas& areas, FocusTarget target) {
    switch (target) {
        case FocusTarget::DropZone:
            return areas.dropZone;
        case FocusTarget::RemoveFile:
            return areas.removeFile;
        case FocusTarget::StepUp:
            return areas.stepUp;
        case FocusTarget::StepDown:
            return areas.stepDown;
        case FocusTarget::SharpOption:
            return areas.sharpOption;
        case FocusTarget::FlatOption:
            return areas.flatOption;
        case FocusTarget::ByKeyOption:
            return areas.byKeyOption;
        case FocusTarget::TransposeButton:
            return areas.transposeButton;
        case FocusTarget::GermanFlag:
            return areas.germanFlag;
        case FocusTarget::EnglishFlag:
            return areas.englishFlag;
        case FocusTarget::WebLink:
            return areas.webLink;
        default:
            return {};
    }
}

// What a screen reader calls each control, in the face's language.
Message NameOf(FocusTarget target) {
    switch (target) {
        case FocusTarget::DropZone:
            return Message::ControlDropZone;
        case FocusTarget::RemoveFile:
            return Message::ControlRemoveFile;
        case FocusTarget::StepUp:
            return Message::ControlStepUp;
        case FocusTarget::StepDown:
            return Message::ControlStepDown;
        case FocusTarget::StepField:
            return Message::ControlStepField;
        case FocusTarget::SharpOption:
            return Message::ControlSharp;
        case FocusTarget::FlatOption:
            return Message::ControlFlat;
        case FocusTarget::ByKeyOption:
            return Message::ControlByKey;
        case FocusTarget::OutputNameField:
            return Message::ControlOutputName;
        case FocusTarget::TransposeButton:
            return Message::ControlTranspose;
        case FocusTarget::GermanFlag:
            return Message::ControlGerman;
        case FocusTarget::EnglishFlag:
            return Message::ControlEnglish;
        case FocusTarget::WebLink:
        case FocusTarget::None:
            break;
    }
    return Message::ControlWebLink;
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring WindowTextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

bool RegisterClasses(HINSTANCE instance, WNDPROC windowProc, WNDPROC canvasProc) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(instance, L"MELVANE");
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;

    WNDCLASSEXW canvasClass{};
    canvasClass.cbSize = sizeof canvasClass;
    canvasClass.lpfnWndProc = canvasProc;
    canvasClass.hInstance = instance;
    canvasClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    canvasClass.lpszClassName = kCanvasClass;

    // A second window in the same process finds the classes already there.
    WNDCLASSEXW existing{};
    if (!GetClassInfoExW(instance, kWindowClass, &existing) && !RegisterClassExW(&windowClass)) {
        return false;
    }
    if (!GetClassInfoExW(instance, kCanvasClass, &existing) && !RegisterClassExW(&canvasClass)) {
        return false;
    }
    return true;
}

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The pictures' typeface where the system has it, else the system's own.
const wchar_t* FaceFamily() {
    static const wchar_t* const family = [] {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        wcscpy_s(wanted.lfFaceName, L"Inter");
        bool found = false;
        const ScopedWindowDc screen;
        EnumFontFamiliesExW(screen.Get(), &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
        return found ? L"Inter" : L"Segoe UI";
    }();
    return family;
}

// `units` is the height of the letters' em in face units.
ScopedFont CreateFaceFont(int units, int weight, DisplayScale scale) {
    return ScopedFont(CreateFontW(-scale.Pixels(units), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, FaceFamily()));
}

// The DPI of the display a window is on; before Windows 10 the system's.
int WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    const ScopedWindowDc screen;
    const int dpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

// The outer size for a client area, with the frame as thick as it is at that DPI.
RECT FrameFor(int width, int height, DWORD style, DWORD extendedStyle, int dpi) {
    using AdjustFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    RECT frame{0, 0, width, height};
    if (adjustForDpi == nullptr || !adjustForDpi(&frame, style, FALSE, extendedStyle, dpi)) {
        AdjustWindowRectEx(&frame, style, FALSE, extendedStyle);
    }
    return frame;
}

}  // namespace

int PrimaryDisplayDpi() {
    return WindowDpi(nullptr);
}

MainWindow::MainWindow(const ImageSet& images, Language language, const WindowServices& services)
    : images_(images), services_(services), face_(images) {
    state_.UiLanguage = language;
}

MainWindow::~MainWindow() {
    controller_.reset();
    if (window_ != nullptr) {
        // Destroyed by its owner, not closed by the user: no quit message for the thread.
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        SetWindowLongPtrW(canvas_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void MainWindow::ApplyDpi(int dpi) {
    std::unique_ptr<ImageSet> previousImages = std::move(scaledImages_);
    if (dpi != services_.imagesDpi) {
        auto images = std::make_unique<ImageSet>();
        if (LoadImageSetForDpi(*images, dpi)) {
            scaledImages_ = std::move(images);
        } else {
            dpi = services_.imagesDpi;  // the pictures at hand, then
        }
    }
    const DisplayScale scale{dpi};
    // Arial 10 pt on the face as before, the fields as large as the captions beside them. The
    // fonts in use now go once nothing holds them any more.
    ScopedFont previousFont = std::exchange(font_, CreateFaceFont(13, FW_NORMAL, scale));
    ScopedFont previousFieldFont = std::exchange(fieldFont_, CreateFaceFont(14, FW_MEDIUM, scale));
    face_.SetScale(scaledImages_ ? *scaledImages_ : images_, font_.Get(), scale);
    for (HWND field : {outputNameField_.Handle(), stepField_.Handle()}) {
        if (field != nullptr) {
            SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(fieldFont_.Get()), FALSE);
        }
    }
}

void MainWindow::PlaceFields() {
    if (canvas_ != nullptr) {
        SetWindowPos(canvas_, nullptr, 0, 0, face_.Width(), face_.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const auto place = [this](const Win32EditField& field, const RECT& at) {
        SetWindowPos(field.Handle(), nullptr, Device(at.left), Device(at.top),
                     Device(at.right) - Device(at.left), Device(at.bottom) - Device(at.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(outputNameField_, kOutputNameRect);
    place(stepField_, kStepRect);
    const auto placeLabel = [this](HWND label, const RECT& at) {
        SetWindowPos(label, nullptr, Device(at.left), Device(at.top),
                     Device(at.right) - Device(at.left), Device(at.bottom) - Device(at.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    placeLabel(stepLabel_, kStepLabelRect);
    placeLabel(outputNameLabel_, kOutputNameLabelRect);
    SyncControls();
}

HWND MainWindow::ControlHandle(FocusTarget target) const {
    if (target == FocusTarget::StepField) {
        return stepField_.Handle();
    }
    if (target == FocusTarget::OutputNameField) {
        return outputNameField_.Handle();
    }
    for (std::size_t i = 0; i < kWindowButtonCount; ++i) {
        if (kWindowButtons[i] == target) {
            return buttons_[i];
        }
    }
    return nullptr;
}

void MainWindow::Focus(FocusTarget target) {
    if (HWND control = ControlHandle(target); control != nullptr) {
        SetFocus(control);
    }
}

void MainWindow::SyncControls() {
    const Language language = state_.UiLanguage;
    for (std::size_t i = 0; i < kWindowButtonCount; ++i) {
        HWND button = buttons_[i];
        if (button == nullptr) {
            continue;
        }
        const FocusTarget target = kWindowButtons[i];
        const HotArea area = AreaOf(state_.areas, target);
        // All four edges belong to an area.
        const RECT wanted{Device(area.left), Device(area.top), Device(area.right + 1),
                          Device(area.bottom + 1)};
        RECT now{};
        GetWindowRect(button, &now);
        MapWindowPoints(nullptr, canvas_, reinterpret_cast<POINT*>(&now), 2);
        if (!EqualRect(&now, &wanted)) {
            SetWindowPos(button, nullptr, wanted.left, wanted.top, wanted.right - wanted.left,
                         wanted.bottom - wanted.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        const bool shown = target != FocusTarget::RemoveFile || !state_.SourcePath.empty();
        // The style, not IsWindowVisible: before the window is shown nothing is visible.
        const bool showing = (GetWindowLongPtrW(button, GWL_STYLE) & WS_VISIBLE) != 0;
        if (showing != shown) {
            ShowWindow(button, shown ? SW_SHOWNA : SW_HIDE);
        }
        const std::wstring name = FactsOf(button).name;
        if (WindowTextOf(button) != name) {
            SetWindowTextW(button, name.c_str());
        }
        InvalidateRect(button, nullptr, FALSE);
    }
    const auto label = [language](HWND control, Message caption) {
        const std::wstring text = Wide(MessageText(caption, language));
        if (control != nullptr && WindowTextOf(control) != text) {
            SetWindowTextW(control, text.c_str());
        }
        InvalidateRect(control, nullptr, FALSE);
    };
    label(stepLabel_, Message::ControlStepField);
    label(outputNameLabel_, Message::ControlOutputName);
}

AccessibleFacts MainWindow::FactsOf(HWND control) const {
    FocusTarget target = FocusTarget::None;
    const int id = GetDlgCtrlID(control);
    if (id == kStepFieldId) {
        target = FocusTarget::StepField;
    } else if (id == kOutputNameFieldId) {
        target = FocusTarget::OutputNameField;
    } else if (id >= kFirstButtonId && id < kFirstButtonId + static_cast<int>(kWindowButtonCount)) {
        target = kWindowButtons[id - kFirstButtonId];
    }
    const Language language = state_.UiLanguage;
    AccessibleFacts facts;
    if (id == kStepLabelId || id == kOutputNameLabelId) {
        facts.name = Wide(MessageText(
            id == kStepLabelId ? Message::ControlStepField : Message::ControlOutputName, language));
        facts.role = ROLE_SYSTEM_STATICTEXT;
        facts.state = STATE_SYSTEM_READONLY;
        return facts;
    }
    if (target == FocusTarget::DropZone && !state_.SourceName.empty()) {
        facts.name =
            Wide(MessageText(Message::ControlDropZoneChosen, language, {state_.SourceName}));
    } else {
        facts.name = Wide(MessageText(NameOf(target), language, {kWebAddress}));
    }
    facts.state = STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == control) {
        facts.state |= STATE_SYSTEM_FOCUSED;
    }
    if ((GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) == 0) {
        facts.state |= STATE_SYSTEM_INVISIBLE;
    }
    switch (target) {
        case FocusTarget::StepField:
        case FocusTarget::OutputNameField:
            facts.role = ROLE_SYSTEM_TEXT;
            break;
        case FocusTarget::SharpOption:
        case FocusTarget::FlatOption:
        case FocusTarget::ByKeyOption:
            facts.role = ROLE_SYSTEM_RADIOBUTTON;
            if (state_.SpellingChoice == (target == FocusTarget::SharpOption  ? kSpellSharps
                                          : target == FocusTarget::FlatOption ? kSpellFlats
                                                                              : kSpellByKey)) {
                facts.state |= STATE_SYSTEM_CHECKED;
            }
            break;
        case FocusTarget::GermanFlag:
        case FocusTarget::EnglishFlag:
            facts.role = ROLE_SYSTEM_RADIOBUTTON;
            if ((language == Language::German) == (target == FocusTarget::GermanFlag)) {
                facts.state |= STATE_SYSTEM_CHECKED;
            }
            break;
        case FocusTarget::WebLink:
            facts.role = ROLE_SYSTEM_LINK;
            facts.state |= STATE_SYSTEM_LINKED;
            break;
        default:
            facts.role = ROLE_SYSTEM_PUSHBUTTON;
    }
    return facts;
}

bool MainWindow::CreateControls(HINSTANCE instance) {
    const auto make = [&](const wchar_t* kind, DWORD style, int id) {
        HWND control =
            CreateWindowExW(0, kind, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 1, 1, canvas_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (control != nullptr) {
            SetWindowSubclass(control, ControlProc, 1, reinterpret_cast<DWORD_PTR>(this));
        }
        return control;
    };
    const DWORD buttonStyle = WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY;
    const auto button = [&](FocusTarget target) {
        for (std::size_t i = 0; i < kWindowButtonCount; ++i) {
            if (kWindowButtons[i] == target) {
                buttons_[i] = make(L"Button", buttonStyle | (i == 0 ? WS_GROUP : 0),
                                   kFirstButtonId + static_cast<int>(i));
            }
        }
    };
    // In Tab order, which is also the order a screen reader lists them in; each field comes
    // right after its caption, which labels it.
    button(FocusTarget::RemoveFile);  // first: on top of the drop zone it lies in
    button(FocusTarget::DropZone);
    button(FocusTarget::StepUp);
    stepLabel_ = make(L"Static", SS_OWNERDRAW, kStepLabelId);
    stepField_.Attach(
        make(L"Edit", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | ES_CENTER, kStepFieldId));
    button(FocusTarget::StepDown);
    button(FocusTarget::SharpOption);
    button(FocusTarget::FlatOption);
    button(FocusTarget::ByKeyOption);
    outputNameLabel_ = make(L"Static", SS_OWNERDRAW, kOutputNameLabelId);
    outputNameField_.Attach(
        make(L"Edit", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, kOutputNameFieldId));
    button(FocusTarget::TransposeButton);
    button(FocusTarget::GermanFlag);
    button(FocusTarget::EnglishFlag);
    button(FocusTarget::WebLink);
    for (HWND field : {stepField_.Handle(), outputNameField_.Handle()}) {
        if (field != nullptr) {
            SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(fieldFont_.Get()), TRUE);
        }
    }
    for (HWND control : buttons_) {
        if (control == nullptr) {
            return false;
        }
    }
    return stepField_.Handle() != nullptr && outputNameField_.Handle() != nullptr &&
           stepLabel_ != nullptr && outputNameLabel_ != nullptr;
}

LRESULT CALLBACK MainWindow::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR self) {
    auto* window = reinterpret_cast<MainWindow*>(self);
    switch (message) {
        case WM_GETOBJECT:
            if (const LRESULT answer =
                    AnswerGetObject(control, wParam, lParam,
                                    [window](HWND asked) { return window->FactsOf(asked); });
                answer != 0) {
                return answer;
            }
            break;
        case WM_CHAR:
            // Digits and the signs; control characters (Backspace, Ctrl+V...) as the field has
            // them.
            if (control == window->stepField_.Handle() && wParam >= 0x20 &&
                !Controller::StepFieldTakes(static_cast<char16_t>(wParam))) {
                MessageBeep(MB_OK);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            // A click into the step field selects its value, so typing replaces it.
            if (control == window->stepField_.Handle() && GetFocus() != control) {
                SetFocus(control);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(control, ControlProc, 1);
            break;
        default:
            break;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

bool MainWindow::Create(HINSTANCE instance, int showCommand) {
    if (!RegisterClasses(instance, Route<&MainWindow::HandleWindowMessage, &MainWindow::window_>,
                         Route<&MainWindow::HandleCanvasMessage, &MainWindow::canvas_>)) {
        return false;
    }
    fieldBrush_.Reset(CreateSolidBrush(RGB(255, 255, 255)));
    // The primary display's DPI to begin with; the window's own once it exists.
    ApplyDpi(WindowDpi(nullptr));

    const RECT frame =
        FrameFor(face_.Width(), face_.Height(), kWindowStyle, kWindowExtendedStyle, Dpi());
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;

    window_ = CreateWindowExW(kWindowExtendedStyle, kWindowClass, kTitle, kWindowStyle, x, y, width,
                              height, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    DragAcceptFiles(window_, TRUE);

    canvas_ =
        CreateWindowExW(0, kCanvasClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                        face_.Width(), face_.Height(), window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCanvasId)), instance, this);
    if (canvas_ == nullptr) {
        return false;
    }
    face_.AttachWindow(canvas_);
    // The controls are children of the canvas, so it never paints over them.
    if (!CreateControls(instance)) {
        return false;
    }
    stepField_.SetText(u"0");
    // A display other than the primary one may have another scale.
    const int windowDpi = WindowDpi(window_);
    if (windowDpi != Dpi()) {
        ApplyDpi(windowDpi);
        const RECT resized =
            FrameFor(face_.Width(), face_.Height(), kWindowStyle, kWindowExtendedStyle, Dpi());
        SetWindowPos(window_, nullptr, 0, 0, resized.right - resized.left,
                     resized.bottom - resized.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PlaceFields();

    messageBoxes_.SetOwner(window_);
    fileDialog_.SetOwner(window_);
    UserMessages& messages = services_.messages ? *services_.messages : messageBoxes_;
    FileDialog& dialog = services_.fileDialog ? *services_.fileDialog : fileDialog_;
    controller_ = std::make_unique<Controller>(
        state_, ControllerServices{outputNameField_, stepField_, *this, controlsCanvas_, dialog,
                                   messages, services_.shell, services_.documents});
    controller_->Redraw();
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    return true;
}

int MainWindow::RunEventLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        Dispatch(message);
    }
    return static_cast<int>(message.wParam);
}

void MainWindow::ProcessPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void MainWindow::Dispatch(MSG& message) {
    // Pointer movement over the buttons is movement over the face beneath them; over the
    // fields the drop zone may lose its hover.
    if (message.message == WM_MOUSEMOVE && message.hwnd != canvas_ && window_ != nullptr &&
        IsChild(window_, message.hwnd) && controller_) {
        POINT point{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        const bool button = GetDlgCtrlID(message.hwnd) >= kFirstButtonId;
        MapWindowPoints(message.hwnd, button ? canvas_ : window_, &point, 1);
        const int x = face_.Scale().Units(point.x);
        const int y = face_.Scale().Units(point.y);
        if (button) {
            controller_->HandleCanvasEvent(CanvasEvent::PointerMove, x, y);
        } else {
            controller_->HandleWindowPointer(x, y);
        }
    }
    if (TranslateKey(message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

bool MainWindow::TranslateKey(const MSG& message) {
    if (!controller_ || window_ == nullptr ||
        (message.hwnd != window_ && !IsChild(window_, message.hwnd))) {
        return false;
    }
    const auto vk = static_cast<int>(message.wParam);
    switch (message.message) {
        case WM_KEYUP:
        case WM_SYSKEYUP:
            if (vk == VK_MENU) {
                controller_->ShowMnemonics(false);
                const bool used = altShortcutUsed_;
                altShortcutUsed_ = false;
                return used;
            }
            return false;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            break;
        default:
            return false;
    }
    if (vk == VK_MENU) {
        controller_->ShowMnemonics(true);
        return false;
    }
    KeyPress press;
    switch (vk) {
        case VK_TAB:
            press.key = Key::Tab;
            break;
        case VK_RETURN:
            press.key = Key::Enter;
            break;
        case VK_SPACE:
            press.key = Key::Space;
            break;
        case VK_ESCAPE:
            press.key = Key::Escape;
            break;
        case VK_UP:
            press.key = Key::Up;
            break;
        case VK_DOWN:
            press.key = Key::Down;
            break;
        case VK_LEFT:
            press.key = Key::Left;
            break;
        case VK_RIGHT:
            press.key = Key::Right;
            break;
        case VK_PRIOR:
            press.key = Key::PageUp;
            break;
        case VK_NEXT:
            press.key = Key::PageDown;
            break;
        case VK_F1:
            press.key = Key::F1;
            break;
        default:
            if (vk < 'A' || vk > 'Z') {
                return false;
            }
            press.key = Key::Letter;
            press.letter = static_cast<char16_t>(vk);
    }
    press.shift = GetKeyState(VK_SHIFT) < 0;
    press.control = GetKeyState(VK_CONTROL) < 0;
    // Bit 29: the Alt key was down when the key was pressed.
    press.alt = message.message == WM_SYSKEYDOWN && (message.lParam & (1 << 29)) != 0;
    if (!controller_->HandleKey(press)) {
        return false;
    }
    altShortcutUsed_ = altShortcutUsed_ || press.alt;
    return true;
}

template <LRESULT (MainWindow::*Handler)(UINT, WPARAM, LPARAM), HWND MainWindow::*Handle>
LRESULT CALLBACK MainWindow::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    // Before CreateWindowExW returns and after WM_DESTROY the window is not (or no longer) ours.
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->*Handle != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return (self->*Handler)(message, wParam, lParam);
}

LRESULT MainWindow::HandleControlColour(HDC dc) {
    SetTextColor(dc, kFieldTextColour);
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(fieldBrush_.Get());
}

LRESULT MainWindow::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DROPFILES:
            HandleDrop(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_MOUSEMOVE:
            if (controller_) {
                controller_->HandleWindowPointer(face_.Scale().Units(GET_X_LPARAM(lParam)),
                                                 face_.Scale().Units(GET_Y_LPARAM(lParam)));
            }
            return 0;
        case WM_CTLCOLOREDIT:
            return HandleControlColour(reinterpret_cast<HDC>(wParam));
        case WM_DPICHANGED: {
            // Moved to a display with another scale: everything is made again for it. The
            // window goes where Windows proposes, with the client area the face needs there.
            ApplyDpi(HIWORD(wParam));
            const auto* proposed = reinterpret_cast<const RECT*>(lParam);
            const RECT frame =
                FrameFor(face_.Width(), face_.Height(), kWindowStyle, kWindowExtendedStyle, Dpi());
            SetWindowPos(window_, nullptr, proposed->left, proposed->top, frame.right - frame.left,
                         frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
            PlaceFields();
            if (controller_) {
                controller_->Redraw();
            }
            return 0;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE && controller_) {
                controller_->ShowMnemonics(false);  // Alt may be released elsewhere
            }
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_CLOSE:
            DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            window_ = nullptr;
            canvas_ = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT MainWindow::HandleCanvasMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the face covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(canvas_, &paint);
            face_.Present(dc);
            EndPaint(canvas_, &paint);
            if (onFirstPaint_) {
                std::function<void()> callback = std::move(onFirstPaint_);
                onFirstPaint_ = nullptr;
                callback();
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
            pressedOnCanvas_ = true;
            SetCapture(canvas_);
            return 0;
        case WM_LBUTTONUP: {
            // A click counts when the button is released over the canvas that saw the press.
            const bool wasPressed = pressedOnCanvas_;
            pressedOnCanvas_ = false;
            if (GetCapture() == canvas_) {
                ReleaseCapture();
            }
            // The controller works in face units.
            const int x = face_.Scale().Units(GET_X_LPARAM(lParam));
            const int y = face_.Scale().Units(GET_Y_LPARAM(lParam));
            if (wasPressed && x >= 0 && y >= 0 && x < kFaceWidth && y < kFaceHeight &&
                controller_) {
                // A transposition blocks the window until it ends; show that it is busy.
                HCURSOR previous =
                    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
                controller_->HandleCanvasEvent(CanvasEvent::LeftClick, x, y);
                SetCursor(previous);
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            pressedOnCanvas_ = false;
            return 0;
        case WM_MOUSEMOVE:
            if (controller_) {
                controller_->HandleCanvasEvent(CanvasEvent::PointerMove,
                                               face_.Scale().Units(GET_X_LPARAM(lParam)),
                                               face_.Scale().Units(GET_Y_LPARAM(lParam)));
            }
            return 0;
        case WM_COMMAND: {
            if (!controller_) {
                return 0;
            }
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id >= kFirstButtonId &&
                id < kFirstButtonId + static_cast<int>(kWindowButtonCount)) {
                const FocusTarget target = kWindowButtons[id - kFirstButtonId];
                if (code == BN_CLICKED) {
                    // A transposition blocks the window until it ends; show that it is busy.
                    HCURSOR previous =
                        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
                    controller_->Press(target);
                    SetCursor(previous);
                } else if (code == BN_SETFOCUS) {
                    controller_->HandleFocus(target);
                }
            } else if (id == kStepFieldId && code == EN_CHANGE) {
                controller_->HandleStepEdit();
            } else if (code == EN_SETFOCUS) {
                // The caret went into a field by the pointer or by Tab: the ring follows.
                if (id == kStepFieldId) {
                    controller_->HandleFocus(FocusTarget::StepField);
                } else if (id == kOutputNameFieldId) {
                    controller_->HandleFocus(FocusTarget::OutputNameField);
                }
            }
            return 0;
        }
        case WM_DRAWITEM: {
            // A control shows the face beneath it; the face draws its ring around it.
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            RECT at{};
            GetWindowRect(item->hwndItem, &at);
            MapWindowPoints(nullptr, canvas_, reinterpret_cast<POINT*>(&at), 2);
            face_.PresentPart(item->hDC, at.left, at.top, at.right - at.left, at.bottom - at.top);
            return TRUE;
        }
        case WM_CTLCOLOREDIT:
            return HandleControlColour(reinterpret_cast<HDC>(wParam));
        default:
            return DefWindowProcW(canvas_, message, wParam, lParam);
    }
}

void MainWindow::HandleDrop(HDROP drop) {
    std::vector<std::u16string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count > 0) {
        // Several files at once: the first is taken.
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, 0, path.data(), length + 1);
        path.resize(length);
        paths.emplace_back(path.begin(), path.end());
    }
    DragFinish(drop);
    if (controller_) {
        controller_->HandleDrop(paths);
    }
}

}  // namespace melvane
