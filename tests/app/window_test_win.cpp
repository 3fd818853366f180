// The real window, created on Wine's (or Windows') user interface and driven with messages.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>
// after windows.h
#include <oleacc.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/document_dispatch.h"
#include "app/main_window_win.h"
#include "app_fakes.h"
#include "documents/documents.h"
#include "documents/messages.h"
#include "docx/docx_package.h"
#include "odt/odt_text.h"
#include "platform/scoped_win.h"

namespace melvane {
namespace {

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

// What the shell hands over when files are dropped on a window.
void SendDrop(HWND window, const std::vector<std::wstring>& files) {
    std::wstring list;
    for (const auto& file : files)
        list += file + L'\0';
    list += L'\0';
    const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
                list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(LoadImageSet(images_));
        window_ = std::make_unique<MainWindow>(
            images_, Language::English, WindowServices{shell_, documents_, &messages_, &dialog_});
        ASSERT_TRUE(window_->Create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE));
    }
    void TearDown() override {
        window_.reset();
        EXPECT_TRUE(messages_.shown.empty()) << "a message was shown";
    }

    void Click(int x, int y) {
        // Face units as the display has them.
        const LPARAM at = MAKELPARAM(window_->Device(x), window_->Device(y));
        SendMessageW(window_->CanvasHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(window_->CanvasHandle(), WM_LBUTTONUP, 0, at);
    }
    void ClickArea(const HotArea& area) {
        Click((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    }
    void MovePointer(int x, int y) {
        SendMessageW(window_->CanvasHandle(), WM_MOUSEMOVE, 0,
                     MAKELPARAM(window_->Device(x), window_->Device(y)));
    }

    void Drop(const std::vector<std::wstring>& files) { SendDrop(window_->Handle(), files); }

    // A key as the keyboard brings it: posted to the window with the caret, through the loop.
    void PressKey(UINT key, bool shift = false, bool control = false, bool alt = false) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        HWND target = GetFocus() != nullptr ? GetFocus() : window_->Handle();
        const LPARAM down = 1 | (alt ? (1 << 29) : 0);
        PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
        PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key, down | (3u << 30));
        window_->ProcessPendingMessages();
        keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }

    const HotAreas& Areas() { return window_->State().areas; }

    ImageSet images_;
    RecordingUserMessages messages_;
    RecordingShell shell_;
    fakes::FakeDialog dialog_;
    fakes::FakeDocuments documents_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(WindowTest, HasTheFixedFaceAndItsControls) {
    RECT client{};
    GetClientRect(window_->Handle(), &client);
    EXPECT_EQ(client.right, window_->Device(600));
    EXPECT_EQ(client.bottom, window_->Device(430));
    EXPECT_EQ(WindowText(window_->Handle()), L"Melvane v1.1");
    const LONG_PTR style = GetWindowLongPtrW(window_->Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_EQ(GetDlgCtrlID(window_->StepFieldHandle()), 8);
    EXPECT_EQ(GetDlgCtrlID(window_->OutputNameFieldHandle()), 7);
    EXPECT_EQ(GetDlgCtrlID(window_->CanvasHandle()), 6);
    // Every control is a child of the canvas that takes the focus; no hidden field is left.
    int hidden = 0;
    for (HWND child = GetWindow(window_->CanvasHandle(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        hidden += (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) ? 0 : 1;
    }
    EXPECT_EQ(hidden, 1);  // the remove cross, until a document is chosen
    for (FocusTarget target : kWindowButtons) {
        EXPECT_EQ(GetParent(window_->ControlHandle(target)), window_->CanvasHandle());
        EXPECT_TRUE(GetWindowLongPtrW(window_->ControlHandle(target), GWL_STYLE) & WS_TABSTOP);
    }
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"0");
    // The face is the background picture, not the window's own colour.
    EXPECT_NE(window_->Face().PixelAt(5, 425), 0u);
}

// One control as a screen reader reads it through the window's accessible object.
struct AccessibleRead {
    std::wstring name;
    long role = 0;
    long state = 0;
};

AccessibleRead ReadAccessible(HWND control) {
    AccessibleRead read;
    IAccessible* object = nullptr;
    const HRESULT hr = AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(&object));
    if (FAILED(hr) || object == nullptr)
        return read;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(self, &name)) && name != nullptr) {
        read.name = name;
        SysFreeString(name);
    }
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accRole(self, &value)) && value.vt == VT_I4)
        read.role = value.lVal;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accState(self, &value)) && value.vt == VT_I4)
        read.state = value.lVal;
    object->Release();
    return read;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow(text.size() * 3, '\0');
    narrow.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                            static_cast<int>(narrow.size()), nullptr, nullptr)));
    return narrow;
}

std::wstring RoleText(long role) {
    wchar_t text[80] = {};
    GetRoleTextW(static_cast<DWORD>(role), text, 80);
    return text;
}

// Tab from the drop zone round the whole face, reading each control as a screen reader would;
// the tree is printed as the test reads it.
TEST_F(WindowTest, TabWalksEveryControlAndEachTellsItsNameAndRole) {
    using F = FocusTarget;
    const ScopedComInitialisation com;  // as the program has it once its face is up
    for (Language language : {Language::English, Language::German}) {
        SCOPED_TRACE(language == Language::German ? "German" : "English");
        ClickArea(language == Language::German ? Areas().germanFlag : Areas().englishFlag);
        Drop({L"C:\\Songs\\Song.odt"});
        const F flag = language == Language::German ? F::GermanFlag : F::EnglishFlag;
        const struct {
            F target;
            long role;
        } stops[] = {
            {F::ByKeyOption, ROLE_SYSTEM_RADIOBUTTON},
            {F::OutputNameField, ROLE_SYSTEM_TEXT},
            {F::TransposeButton, ROLE_SYSTEM_PUSHBUTTON},
            {flag, ROLE_SYSTEM_RADIOBUTTON},
            {F::WebLink, ROLE_SYSTEM_LINK},
            {F::DropZone, ROLE_SYSTEM_PUSHBUTTON},
            {F::RemoveFile, ROLE_SYSTEM_PUSHBUTTON},
            {F::StepField, ROLE_SYSTEM_TEXT},
        };
        ASSERT_EQ(GetFocus(), window_->StepFieldHandle());
        std::printf("Tab order at %d DPI, %s:\n", window_->Dpi(),
                    language == Language::German ? "German" : "English");
        for (const auto& stop : stops) {
            PressKey(VK_TAB);
            HWND focused = GetFocus();
            ASSERT_EQ(focused, window_->ControlHandle(stop.target));
            const AccessibleRead read = ReadAccessible(focused);
            std::printf("  %-12s %s\n", Narrow(RoleText(read.role)).c_str(),
                        Narrow(read.name).c_str());
            EXPECT_EQ(read.role, stop.role);
            EXPECT_TRUE(read.state & STATE_SYSTEM_FOCUSED);
            EXPECT_TRUE(read.state & STATE_SYSTEM_FOCUSABLE);
            EXPECT_FALSE(read.name.empty());
            if (read.role == ROLE_SYSTEM_RADIOBUTTON) {
                EXPECT_TRUE(read.state & STATE_SYSTEM_CHECKED);  // the stop is the chosen one
            }
            // The face's ring is drawn around the focused control.
            EXPECT_EQ(window_->State().focus, stop.target);
        }
        // Every child of the face, as the accessible tree lists them.
        std::printf("Accessible tree at %d DPI, %s:\n", window_->Dpi(),
                    language == Language::German ? "German" : "English");
        int named = 0;
        for (HWND child = GetWindow(window_->CanvasHandle(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const AccessibleRead read = ReadAccessible(child);
            std::printf("  %-12s %-40s%s%s\n", Narrow(RoleText(read.role)).c_str(),
                        Narrow(read.name).c_str(),
                        read.state & STATE_SYSTEM_CHECKED ? " checked" : "",
                        read.state & STATE_SYSTEM_FOCUSED ? " focused" : "");
            named += read.name.empty() ? 0 : 1;
        }
        EXPECT_EQ(named, 15);  // eleven buttons, two fields, two labels
        EXPECT_EQ(ReadAccessible(GetDlgItem(window_->CanvasHandle(), kStepLabelId)).role,
                  ROLE_SYSTEM_STATICTEXT);
        // The names speak the face's language.
        EXPECT_EQ(ReadAccessible(window_->ControlHandle(F::TransposeButton)).name, [&] {
            const std::u16string text = MessageText(Message::ControlTranspose, language);
            return std::wstring(text.begin(), text.end());
        }());
        EXPECT_FALSE(ReadAccessible(window_->ControlHandle(F::FlatOption)).state &
                     STATE_SYSTEM_CHECKED);
        PressKey(VK_ESCAPE);
    }
}

TEST_F(WindowTest, ArrowsChangeTheStepFieldAndTheProposal) {
    Drop({L"C:\\Lieder\\Lied f\u00fcr Chor.odt"});
    EXPECT_EQ(WindowText(window_->OutputNameFieldHandle()), L"C:\\Lieder\\Lied f\u00fcr Chor_.odt");
    ClickArea(Areas().stepUp);
    ClickArea(Areas().stepUp);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"2");
    EXPECT_EQ(WindowText(window_->OutputNameFieldHandle()),
              L"C:\\Lieder\\Lied f\u00fcr Chor+2.odt");
    for (int i = 0; i < 5; ++i)
        ClickArea(Areas().stepDown);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"-3");
    EXPECT_EQ(WindowText(window_->OutputNameFieldHandle()),
              L"C:\\Lieder\\Lied f\u00fcr Chor-3.odt");
    // After a click on an arrow the value is ready for the keyboard.
    EXPECT_EQ(GetFocus(), window_->StepFieldHandle());
}

TEST_F(WindowTest, TypingInTheStepFieldIsClamped) {
    SetWindowTextW(window_->StepFieldHandle(), L"99");
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"12");
    EXPECT_EQ(window_->State().StepValue, 12);
    SetWindowTextW(window_->StepFieldHandle(), L"");
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"0");
}

TEST_F(WindowTest, TypingInTheFocusedStepFieldKeepsEachStateUntilTheFieldIsLeft) {
    Drop({L"C:\\Songs\\Song.odt"});
    ASSERT_EQ(GetFocus(), window_->StepFieldHandle());  // chosen: the step is next
    // The value is selected: the first key replaces it, a minus and letters are typed as keys.
    for (wchar_t key : std::wstring(L"-x3"))
        SendMessageW(window_->StepFieldHandle(), WM_CHAR, key, 1);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"-3");
    EXPECT_EQ(WindowText(window_->OutputNameFieldHandle()), L"C:\\Songs\\Song-3.odt");
    SendMessageW(window_->StepFieldHandle(), WM_CHAR, VK_BACK, 1);
    SendMessageW(window_->StepFieldHandle(), WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"");  // not refilled under the fingers
    for (wchar_t key : std::wstring(L"99"))
        SendMessageW(window_->StepFieldHandle(), WM_CHAR, key, 1);
    PressKey(VK_TAB);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"12");
    EXPECT_EQ(WindowText(window_->OutputNameFieldHandle()), L"C:\\Songs\\Song+12.odt");
    // A click back into the field selects the whole value again.
    const LPARAM at = MAKELPARAM(3, 3);
    SendMessageW(window_->StepFieldHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(window_->StepFieldHandle(), WM_LBUTTONUP, 0, at);
    DWORD from = 0, to = 0;
    SendMessageW(window_->StepFieldHandle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 2u);
}

TEST_F(WindowTest, ADropSetsTheDocumentAndShowsItsName) {
    Drop({L"C:\\Songs\\first.docx", L"C:\\Songs\\second.odt"});
    EXPECT_TRUE(window_->State().SourcePath == u"C:\\Songs\\first.docx");
    // The drop zone turns into the framed white box with the name.
    EXPECT_EQ(window_->Face().PixelAt(30, 250), 0x009FFAu);
    EXPECT_EQ(window_->Face().PixelAt(100, 320), 0xFFFFFFu);
    Drop({L"C:\\Songs\\notes.pdf"});
    EXPECT_TRUE(window_->State().SourcePath == u"C:\\Songs\\first.docx");
    ASSERT_EQ(messages_.shown.size(), 1u);  // says which files it takes
    messages_.shown.clear();
}

TEST_F(WindowTest, TheTransposeButtonHandsOverTheDocumentAndEmptiesTheForm) {
    Drop({L"C:\\Songs\\song.odt"});
    ClickArea(Areas().stepUp);
    ClickArea(Areas().flatOption);
    ClickArea(Areas().transposeButton);
    ASSERT_EQ(documents_.requests.size(), 1u);
    EXPECT_TRUE(documents_.requests[0].output == u"C:\\Songs\\song+1.odt");
    EXPECT_EQ(documents_.requests[0].transpose.spelling, 1);
    EXPECT_TRUE(window_->State().SourcePath.empty());
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"0");
    EXPECT_EQ(WindowText(window_->OutputNameFieldHandle()), L"");
}

TEST_F(WindowTest, TheFlagsSwitchTheLanguageOfTheWholeFace) {
    // Left of the English button lies the German one's extra width.
    const std::uint32_t before = window_->Face().PixelAt(380, 382);
    ClickArea(Areas().germanFlag);
    EXPECT_EQ(window_->State().UiLanguage, Language::German);
    EXPECT_NE(window_->Face().PixelAt(380, 382), before);
    ClickArea(Areas().englishFlag);
    EXPECT_EQ(window_->Face().PixelAt(380, 382), before);
}

TEST_F(WindowTest, HoverChangesThePicture) {
    const HotArea button = Areas().transposeButton;
    const int x = (button.left + button.right) / 2;
    const int y = (button.top + button.bottom) / 2;
    std::vector<std::uint32_t> before;
    for (int dx = -40; dx <= 40; dx += 4)
        before.push_back(window_->Face().PixelAt(x + dx, y + 10));
    MovePointer(x, y);
    EXPECT_TRUE(Areas().transposeButton.hover);
    std::vector<std::uint32_t> after;
    for (int dx = -40; dx <= 40; dx += 4)
        after.push_back(window_->Face().PixelAt(x + dx, y + 10));
    EXPECT_NE(before, after);
    MovePointer(5, 5);
    EXPECT_FALSE(Areas().transposeButton.hover);
}

using ParagraphReader = bool (*)(const std::filesystem::path&, std::vector<std::u16string>&);

// The whole road: the window's button runs a document path on a real song sheet.
void TransposeThroughTheWindow(const wchar_t* example, const std::wstring& extension,
                               ParagraphReader read) {
    const NoteTable table = BuildNoteTables();
    RecordingUserMessages messages;
    RecordingShell shell;
    DocumentDispatch documents(table, messages, shell);
    ImageSet images;
    ASSERT_TRUE(LoadImageSet(images));
    MainWindow window(images, Language::German, WindowServices{shell, documents, &messages});
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE));

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) / L"Melvane Fenster-Test \u00e4";
    std::filesystem::create_directories(folder);
    const std::filesystem::path source = folder / (L"Lied f\u00fcr Chor" + extension);
    std::filesystem::copy_file(example, source, std::filesystem::copy_options::overwrite_existing);

    SendDrop(window.Handle(), {source.wstring()});
    const HotAreas& areas = window.State().areas;
    const auto click = [&](const HotArea& area) {
        const LPARAM at = MAKELPARAM(window.Device((area.left + area.right) / 2),
                                     window.Device((area.top + area.bottom) / 2));
        SendMessageW(window.CanvasHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(window.CanvasHandle(), WM_LBUTTONUP, 0, at);
    };
    click(areas.stepUp);
    click(areas.stepUp);
    click(areas.transposeButton);

    EXPECT_TRUE(messages.shown.empty());
    const std::filesystem::path output = folder / (L"Lied f\u00fcr Chor+2" + extension);
    ASSERT_TRUE(std::filesystem::exists(output));
    ASSERT_EQ(shell.documents.size(), 1u);
    EXPECT_EQ(shell.documents[0], output);
    std::vector<std::u16string> before;
    std::vector<std::u16string> after;
    ASSERT_TRUE(read(source, before));
    ASSERT_TRUE(read(output, after));
    EXPECT_EQ(before.size(), after.size());
    EXPECT_NE(before, after);
    EXPECT_TRUE(window.State().SourcePath.empty());
    EXPECT_EQ(WindowText(window.StepFieldHandle()), L"0");
    std::filesystem::remove_all(folder);
}

// Everything in display pixels follows the display's scale; the controller keeps face units.
TEST_F(WindowTest, FollowsTheDisplayScale) {
    const int systemDpi = GetDeviceCaps(ScopedWindowDc().Get(), LOGPIXELSY);
    const int dpi = window_->Dpi();
    EXPECT_EQ(dpi, systemDpi);
    std::printf("display at %d DPI\n", dpi);

    RECT step{};
    GetWindowRect(window_->StepFieldHandle(), &step);
    MapWindowPoints(nullptr, window_->CanvasHandle(), reinterpret_cast<POINT*>(&step), 2);
    EXPECT_EQ(step.left, MulDiv(264, dpi, 96));
    EXPECT_EQ(step.top, MulDiv(198, dpi, 96));
    EXPECT_EQ(step.right - step.left, MulDiv(294, dpi, 96) - MulDiv(264, dpi, 96));

    // A click at the display position of the step-up arrow's lower right corner.
    const HotArea up = Areas().stepUp;
    const LPARAM at = MAKELPARAM(MulDiv(up.right, dpi, 96), MulDiv(up.bottom, dpi, 96));
    SendMessageW(window_->CanvasHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(window_->CanvasHandle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(window_->State().StepValue, 1);
    EXPECT_EQ(Areas().stepUp.right, 286);

    // The heading comes from the set drawn for this scale, pixel for pixel.
    ImageSet set;
    ASSERT_TRUE(LoadImageSetForDpi(set, dpi));
    const Picture* heading = set.Find({0, kHeadingSlot});
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->width, MulDiv(30 + 490, dpi, 96) - MulDiv(30, dpi, 96));
    int differ = 0;
    for (int y = 0; y < heading->height; y += 3) {
        for (int x = 0; x < heading->width; x += 3) {
            const std::uint8_t* p =
                &heading->rgba[static_cast<std::size_t>((y * heading->width + x) * 4)];
            const std::uint32_t expected = (p[0] << 16) | (p[1] << 8) | p[2];
            differ += window_->Face().DevicePixelAt(MulDiv(30, dpi, 96) + x,
                                                    MulDiv(20, dpi, 96) + y) != expected;
        }
    }
    EXPECT_EQ(differ, 0);

    // The remove cross lies on the chosen file's frame: beside it the frame's right edge is
    // exactly as wide as below it.
    Drop({L"C:\\Songs\\song.odt"});
    const HotArea cross = Areas().removeFile;
    const auto edgeWidth = [&](int faceY) {
        const int right = MulDiv(cross.right, dpi, 96) - 1;
        int width = 0;
        while (window_->Face().DevicePixelAt(right - width, MulDiv(faceY, dpi, 96)) == 0x009FFAu) {
            ++width;
        }
        return width;
    };
    EXPECT_EQ(edgeWidth((cross.top + cross.bottom) / 2), edgeWidth(cross.bottom + 20));
}

// Moved to a display with another scale, the window is made again for it.
TEST_F(WindowTest, FollowsAMoveToADisplayWithAnotherScale) {
    Drop({L"C:\\Songs\\song.odt"});
    const int before = window_->Dpi();
    const int after = before == 192 ? 120 : 192;
    RECT frame{};
    GetWindowRect(window_->Handle(), &frame);
    RECT proposed{frame.left, frame.top, frame.left + MulDiv(620, after, 96),
                  frame.top + MulDiv(470, after, 96)};
    SendMessageW(window_->Handle(), WM_DPICHANGED, MAKEWPARAM(after, after),
                 reinterpret_cast<LPARAM>(&proposed));
    EXPECT_EQ(window_->Dpi(), after);
    RECT canvas{};
    GetClientRect(window_->CanvasHandle(), &canvas);
    EXPECT_EQ(canvas.right, MulDiv(600, after, 96));
    RECT name{};
    GetWindowRect(window_->OutputNameFieldHandle(), &name);
    MapWindowPoints(nullptr, window_->CanvasHandle(), reinterpret_cast<POINT*>(&name), 2);
    EXPECT_EQ(name.left, MulDiv(262, after, 96));
    // The face is drawn again at the new size, document and all, and clicks land in face units.
    EXPECT_EQ(window_->Face().Width(), MulDiv(600, after, 96));
    EXPECT_EQ(window_->Face().PixelAt(30, 250), 0x009FFAu);
    ClickArea(Areas().stepUp);
    EXPECT_EQ(window_->State().StepValue, 1);
}

TEST_F(WindowTest, TheKeyboardReachesEveryControl) {
    Drop({L"C:\\Songs\\song.odt"});
    EXPECT_EQ(GetFocus(), window_->StepFieldHandle());
    PressKey(VK_UP);
    PressKey(VK_PRIOR);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"6");
    PressKey(VK_NEXT);
    PressKey(VK_DOWN);
    PressKey(VK_DOWN);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"-1");
    PressKey('4');  // typed over the selected value
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"4");
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), window_->ControlHandle(FocusTarget::ByKeyOption));
    PressKey(VK_DOWN);  // inside the group, round to its first
    EXPECT_EQ(GetFocus(), window_->ControlHandle(FocusTarget::SharpOption));
    PressKey(VK_DOWN);
    EXPECT_EQ(GetFocus(), window_->ControlHandle(FocusTarget::FlatOption));
    EXPECT_EQ(window_->State().SpellingChoice, 1);
    PressKey(VK_UP);
    EXPECT_EQ(window_->State().SpellingChoice, 0);
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), window_->OutputNameFieldHandle());
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), window_->ControlHandle(FocusTarget::TransposeButton));
    PressKey(VK_TAB, true);
    EXPECT_EQ(GetFocus(), window_->OutputNameFieldHandle());

    PressKey('F', false, false, true);
    EXPECT_EQ(window_->State().SpellingChoice, 1);
    PressKey(VK_RETURN);
    ASSERT_EQ(documents_.requests.size(), 1u);
    EXPECT_TRUE(documents_.requests[0].output == u"C:\\Songs\\song+4.odt");
    EXPECT_EQ(documents_.requests[0].transpose.spelling, 1);
    EXPECT_TRUE(window_->State().SourcePath.empty());

    dialog_.answer = u"C:\\Songs\\other.docx";
    PressKey('O', false, true);
    EXPECT_TRUE(window_->State().SourceName == u"other.docx");
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(window_->State().SourcePath.empty());
    PressKey(VK_F1);
    EXPECT_EQ(shell_.addresses.size(), 1u);
}

TEST_F(WindowTest, TheButtonsFocusRingAndTheAccessKeysAreDrawn) {
    const HotArea button = Areas().transposeButton;
    const std::uint32_t outside = window_->Face().PixelAt(button.left - 2, button.top + 10);
    for (int i = 0; i < 5; ++i)
        PressKey(VK_TAB);
    ASSERT_EQ(GetFocus(), window_->ControlHandle(FocusTarget::TransposeButton));
    EXPECT_NE(window_->Face().PixelAt(button.left - 2, button.top + 10), outside);
    // Alt down underlines the access keys (below the label's baseline), Alt up takes it away.
    std::vector<std::uint32_t> before;
    for (int x = 438; x < 448; ++x)
        before.push_back(window_->Face().PixelAt(x, 198));
    PostMessageW(window_->Handle(), WM_SYSKEYDOWN, VK_MENU, 1 | (1 << 29));
    window_->ProcessPendingMessages();
    std::vector<std::uint32_t> held;
    for (int x = 438; x < 448; ++x)
        held.push_back(window_->Face().PixelAt(x, 198));
    EXPECT_NE(before, held);
    // A lone Alt puts the window into menu mode when released, as everywhere; Esc leaves it.
    PostMessageW(window_->Handle(), WM_SYSKEYUP, VK_MENU, 1 | (3u << 30));
    PostMessageW(window_->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    window_->ProcessPendingMessages();
    EXPECT_FALSE(window_->State().showMnemonics);
}

// Answers the message boxes of this thread from inside their modal loops, in order, and keeps
// what each said.
class BoxAnswerer {
  public:
    explicit BoxAnswerer(std::vector<int> buttons) {
        buttons_ = std::move(buttons);
        texts_.clear();
        timer_ = SetTimer(nullptr, 0, 30, OnTimer);
    }
    ~BoxAnswerer() { KillTimer(nullptr, timer_); }
    static const std::vector<std::wstring>& Texts() { return texts_; }

  private:
    static BOOL CALLBACK FindBox(HWND window, LPARAM found) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }
    static BOOL CALLBACK CollectText(HWND child, LPARAM text) {
        wchar_t name[16] = {};
        GetClassNameW(child, name, 16);
        if (std::wstring(name) == L"Static")
            *reinterpret_cast<std::wstring*>(text) += WindowText(child);
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        HWND box = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
        if (box == nullptr || buttons_.empty())
            return;
        std::wstring text;
        EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
        texts_.push_back(text);
        const int button = buttons_.front();
        buttons_.erase(buttons_.begin());
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    }
    static inline std::vector<int> buttons_;
    static inline std::vector<std::wstring> texts_;
    UINT_PTR timer_ = 0;
};

// The window's own boxes: a question before an existing output is replaced, and where the
// output went when no program opens it.
TEST(WindowWithDocuments, AsksBeforeReplacingAndSaysWhereTheOutputWent) {
    const NoteTable table = BuildNoteTables();
    MessageBoxes boxes;
    RecordingShell shell;
    shell.opens = false;
    DocumentDispatch documents(table, boxes, shell);
    ImageSet images;
    ASSERT_TRUE(LoadImageSet(images));
    MainWindow window(images, Language::English, WindowServices{shell, documents, &boxes});
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE));
    boxes.SetOwner(window.Handle());

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / L"Melvane Fragen";
    std::filesystem::create_directories(folder);
    const std::filesystem::path source = folder / L"Lied.odt";
    const std::filesystem::path output = folder / L"Lied+2.odt";
    std::filesystem::copy_file(MELVANE_EXAMPLE_ODT, source,
                               std::filesystem::copy_options::overwrite_existing);
    { std::ofstream(output) << "an earlier copy"; }

    SendDrop(window.Handle(), {source.wstring()});
    SetWindowTextW(window.StepFieldHandle(), L"2");
    const HotArea& button = window.State().areas.transposeButton;
    const LPARAM at = MAKELPARAM(window.Device(button.left + 5), window.Device(button.top + 5));
    const auto press = [&] {
        SendMessageW(window.CanvasHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(window.CanvasHandle(), WM_LBUTTONUP, 0, at);
    };
    {
        BoxAnswerer answer({IDNO});
        press();
        ASSERT_EQ(BoxAnswerer::Texts().size(), 1u);
        EXPECT_NE(BoxAnswerer::Texts()[0].find(output.wstring()), std::wstring::npos);
    }
    EXPECT_EQ(std::filesystem::file_size(output), 15u);
    EXPECT_FALSE(window.State().SourcePath.empty());  // No keeps the form
    {
        BoxAnswerer answer({IDYES, IDOK});
        press();
        ASSERT_EQ(BoxAnswerer::Texts().size(), 2u);
        EXPECT_NE(BoxAnswerer::Texts()[1].find(output.wstring()), std::wstring::npos);
    }
    std::vector<std::u16string> paragraphs;
    EXPECT_TRUE(ReadOdtParagraphs(output, paragraphs));
    EXPECT_TRUE(window.State().SourcePath.empty());
    std::filesystem::remove_all(folder);
}

// With the output field emptied the Word path names the copy itself; that name is asked about too.
TEST(WindowWithDocuments, AsksAboutTheNameTheWordPathWouldChoose) {
    const NoteTable table = BuildNoteTables();
    RecordingUserMessages messages;
    messages.answer = false;
    RecordingShell shell;
    DocumentDispatch documents(table, messages, shell);
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / L"Melvane Word-Frage";
    std::filesystem::create_directories(folder);
    { std::ofstream(folder / L"Song.doc") << "sheet"; }
    { std::ofstream(folder / L"Song_NEU.doc") << "earlier"; }
    const std::wstring source = (folder / L"Song.doc").wstring();
    EXPECT_EQ(documents.Transpose({std::u16string(source.begin(), source.end()), u"",
                                   ClassicSettings(2, 0), Language::English}),
              Fault::OutputName);
    EXPECT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.shown.empty());  // No: Word was not even started
    std::filesystem::remove_all(folder);
}

TEST(WindowWithDocuments, TransposesARealSongSheetAndEmptiesTheForm) {
    TransposeThroughTheWindow(MELVANE_EXAMPLE_ODT, L".odt", &ReadOdtParagraphs);
}

// A .docx goes the native way: no Word is registered in the test prefix.
TEST(WindowWithDocuments, TransposesAWordSheetWithoutWord) {
    TransposeThroughTheWindow(MELVANE_EXAMPLE_DOCX, L".docx", &ReadDocxPackageParagraphs);
}

// Text sheets go the documents layer's way too: ChordPro, and Windows-1252 with CRLF.
TEST(WindowWithDocuments, TransposesTextSheets) {
    TransposeThroughTheWindow(MELVANE_TEXT_FIXTURES L"/song.utf8.lf.cho", L".cho",
                              &ReadDocumentParagraphs);
    TransposeThroughTheWindow(MELVANE_TEXT_FIXTURES L"/plain.cp1252.crlf.txt", L".txt",
                              &ReadDocumentParagraphs);
}

TEST_F(WindowTest, TheWebLinkOpensTheAddress) {
    ClickArea(Areas().webLink);
    ASSERT_EQ(shell_.addresses.size(), 1u);
}

}  // namespace
}  // namespace melvane
