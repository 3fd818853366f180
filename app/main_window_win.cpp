#include "app/main_window_win.h"

#include <shellapi.h>
#include <windowsx.h>

#include <string>
#include <vector>

#include "melvane_version.h"

namespace melvane {
namespace {

constexpr wchar_t kWindowClass[] = L"MelvaneMainWindow";
constexpr wchar_t kCanvasClass[] = L"MelvaneCanvas";
constexpr wchar_t kTitle[] = L"Melvane v" MELVANE_VERSION_SHORT;
constexpr COLORREF kFieldTextColour = RGB(0, 159, 250);

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

HFONT CreateFaceFont() {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"Arial");
}

}  // namespace

MainWindow::MainWindow(const ImageSet& images, Language language, const WindowServices& services)
    : images_(images), services_(services) {
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
    face_.reset();
    if (font_ != nullptr)
        DeleteObject(font_);
    if (fieldBrush_ != nullptr)
        DeleteObject(fieldBrush_);
}

HWND MainWindow::CreateEditField(int id, int x, int y, int width, int height, DWORD extraStyle,
                                 DWORD extendedStyle, HWND parent) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | extraStyle;
    HWND edit = CreateWindowExW(
        extendedStyle, L"Edit", L"", style, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (edit != nullptr) {
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    return edit;
}

bool MainWindow::Create(HINSTANCE instance, int showCommand) {
    if (!RegisterClasses(instance, WindowProc, CanvasProc)) {
        return false;
    }
    font_ = CreateFaceFont();
    fieldBrush_ = CreateSolidBrush(RGB(255, 255, 255));
    face_ = std::make_unique<Win32Canvas>(images_, font_);

    // Fixed size: a title bar with the close box only, no sizing border.
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, kFaceWidth, kFaceHeight};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_ACCEPTFILES);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;

    window_ = CreateWindowExW(WS_EX_ACCEPTFILES, kWindowClass, kTitle, style, x, y, width, height,
                              nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    DragAcceptFiles(window_, TRUE);

    // The hidden field that takes the caret; the only control with a sunken edge.
    focusSink_.Attach(
        CreateEditField(kFocusSinkId, -20, -20, 10, 10, 0, WS_EX_CLIENTEDGE, window_));
    ShowWindow(focusSink_.Handle(), SW_HIDE);

    canvas_ =
        CreateWindowExW(0, kCanvasClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                        kFaceWidth, kFaceHeight, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCanvasId)), instance, this);
    if (canvas_ == nullptr) {
        return false;
    }
    face_->AttachWindow(canvas_);
    // The fields are children of the canvas, so it never paints over them.
    outputNameField_.Attach(CreateEditField(kOutputNameFieldId, 262, 308, 305, 25, 0, 0, canvas_));
    stepField_.Attach(
        CreateEditField(kStepFieldId, 264, 198, 30, 25, ES_CENTER | ES_NUMBER, 0, canvas_));
    stepField_.SetText(u"0");

    messageBoxes_.SetOwner(window_);
    fileDialog_.SetOwner(window_);
    UserMessages& messages = services_.messages ? *services_.messages : messageBoxes_;
    FileDialog& dialog = services_.fileDialog ? *services_.fileDialog : fileDialog_;
    controller_ = std::make_unique<Controller>(
        state_, ControllerServices{outputNameField_, stepField_, focusSink_, *face_, dialog,
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
    // Pointer movement over the window's other controls: the drop zone may lose its hover.
    if (message.message == WM_MOUSEMOVE && message.hwnd != canvas_ && window_ != nullptr &&
        IsChild(window_, message.hwnd) && controller_) {
        POINT point{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        MapWindowPoints(message.hwnd, window_, &point, 1);
        controller_->HandleWindowPointer(point.x, point.y);
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

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleWindowMessage(message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::CanvasProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->canvas_ == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleCanvasMessage(message, wParam, lParam);
}

LRESULT MainWindow::HandleControlColour(HDC dc) {
    SetTextColor(dc, kFieldTextColour);
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(fieldBrush_);
}

LRESULT MainWindow::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DROPFILES:
            HandleDrop(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_MOUSEMOVE:
            if (controller_) {
                controller_->HandleWindowPointer(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            }
            return 0;
        case WM_CTLCOLOREDIT:
            return HandleControlColour(reinterpret_cast<HDC>(wParam));
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
            face_->Present(dc);
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
            const int x = GET_X_LPARAM(lParam);
            const int y = GET_Y_LPARAM(lParam);
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
                controller_->HandleCanvasEvent(CanvasEvent::PointerMove, GET_X_LPARAM(lParam),
                                               GET_Y_LPARAM(lParam));
            }
            return 0;
        case WM_COMMAND:
            if (!controller_) {
                return 0;
            }
            if (LOWORD(wParam) == kStepFieldId && HIWORD(wParam) == EN_CHANGE) {
                controller_->HandleStepEdit();
            } else if (HIWORD(wParam) == EN_SETFOCUS) {
                // The caret went into a field by the pointer or by Tab: the ring follows.
                if (LOWORD(wParam) == kStepFieldId) {
                    controller_->HandleFocus(FocusTarget::StepField);
                } else if (LOWORD(wParam) == kOutputNameFieldId) {
                    controller_->HandleFocus(FocusTarget::OutputNameField);
                }
            }
            return 0;
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
