// The real window, created on Wine's (or Windows') user interface and driven with messages.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/document_dispatch.h"
#include "app/main_window_win.h"
#include "app_fakes.h"
#include "docx/docx_package.h"
#include "odt/odt_text.h"

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
        const LPARAM at = MAKELPARAM(x, y);
        SendMessageW(window_->CanvasHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(window_->CanvasHandle(), WM_LBUTTONUP, 0, at);
    }
    void ClickArea(const HotArea& area) {
        Click((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    }
    void MovePointer(int x, int y) {
        SendMessageW(window_->CanvasHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    }

    void Drop(const std::vector<std::wstring>& files) { SendDrop(window_->Handle(), files); }

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
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 430);
    EXPECT_EQ(WindowText(window_->Handle()), L"Melvane v1.1");
    const LONG_PTR style = GetWindowLongPtrW(window_->Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_EQ(GetDlgCtrlID(window_->StepFieldHandle()), 8);
    EXPECT_EQ(GetDlgCtrlID(window_->OutputNameFieldHandle()), 7);
    EXPECT_EQ(GetDlgCtrlID(window_->CanvasHandle()), 6);
    EXPECT_EQ(GetDlgCtrlID(window_->FocusSinkHandle()), 9);
    EXPECT_FALSE(IsWindowVisible(window_->FocusSinkHandle()));
    EXPECT_TRUE(GetWindowLongPtrW(window_->StepFieldHandle(), GWL_STYLE) & ES_NUMBER);
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"0");
    // The face is the background picture, not the window's own colour.
    EXPECT_NE(window_->Face().PixelAt(5, 425), 0u);
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
    // The caret goes to the hidden field after a click on the face.
    EXPECT_EQ(GetFocus(), window_->FocusSinkHandle());
}

TEST_F(WindowTest, TypingInTheStepFieldIsClamped) {
    SetWindowTextW(window_->StepFieldHandle(), L"99");
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"12");
    EXPECT_EQ(window_->State().StepValue, 12);
    SetWindowTextW(window_->StepFieldHandle(), L"");
    EXPECT_EQ(WindowText(window_->StepFieldHandle()), L"0");
}

TEST_F(WindowTest, ADropSetsTheDocumentAndShowsItsName) {
    Drop({L"C:\\Songs\\first.docx", L"C:\\Songs\\second.odt"});
    EXPECT_TRUE(window_->State().SourcePath == u"C:\\Songs\\first.docx");
    // The drop zone turns into the framed white box with the name.
    EXPECT_EQ(window_->Face().PixelAt(30, 250), 0x009FFAu);
    EXPECT_EQ(window_->Face().PixelAt(100, 320), 0xFFFFFFu);
    Drop({L"C:\\Songs\\notes.pdf"});
    EXPECT_TRUE(window_->State().SourcePath == u"C:\\Songs\\first.docx");
}

TEST_F(WindowTest, TheTransposeButtonHandsOverTheDocumentAndEmptiesTheForm) {
    Drop({L"C:\\Songs\\song.odt"});
    ClickArea(Areas().stepUp);
    ClickArea(Areas().flatOption);
    ClickArea(Areas().transposeButton);
    ASSERT_EQ(documents_.odt.size(), 1u);
    EXPECT_TRUE(documents_.odt[0].output == u"C:\\Songs\\song+1.odt");
    EXPECT_EQ(documents_.odt[0].spelling, 1);
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
    EXPECT_EQ(Areas().transposeButton.hover, 1);
    std::vector<std::uint32_t> after;
    for (int dx = -40; dx <= 40; dx += 4)
        after.push_back(window_->Face().PixelAt(x + dx, y + 10));
    EXPECT_NE(before, after);
    MovePointer(5, 5);
    EXPECT_EQ(Areas().transposeButton.hover, 0);
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
        const LPARAM at = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
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

TEST(WindowWithDocuments, TransposesARealSongSheetAndEmptiesTheForm) {
    TransposeThroughTheWindow(MELVANE_EXAMPLE_ODT, L".odt", &ReadOdtParagraphs);
}

// A .docx goes the native way: no Word is registered in the test prefix.
TEST(WindowWithDocuments, TransposesAWordSheetWithoutWord) {
    TransposeThroughTheWindow(MELVANE_EXAMPLE_DOCX, L".docx", &ReadDocxPackageParagraphs);
}

TEST_F(WindowTest, TheWebLinkOpensTheAddress) {
    ClickArea(Areas().webLink);
    ASSERT_EQ(shell_.addresses.size(), 1u);
}

}  // namespace
}  // namespace melvane
