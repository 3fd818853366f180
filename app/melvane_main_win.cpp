// Melvane.exe: start-up, the window, and a snapshot mode that saves a picture of the window.
#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/document_dispatch.h"
#include "app/main_window_win.h"
#include "app/pictures.h"
#include "chords/note_table.h"
#include "melvane_version.h"
#include "platform/console.h"
#include "platform/language.h"
#include "platform/shell.h"

namespace melvane {
namespace {

struct StartOptions {
    std::wstring snapshot;  // save a picture of the window here and end
    std::wstring document;  // a document to show as chosen
    std::wstring steps;
    std::wstring startupReport;  // write the time to the first painted face here and end
    int language = -1;           // -1: from the user's language
    bool classic = false;        // --classic: every text piece on its own, chords by the table
};

StartOptions ReadOptions() {
    StartOptions options;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) {
        return options;
    }
    for (int i = 1; i < count; ++i) {
        const std::wstring name = args[i];
        if (name == L"--classic") {
            options.classic = true;
            continue;
        }
        if (i + 1 >= count) {
            break;
        }
        const std::wstring value = args[++i];
        if (name == L"--snapshot") {
            options.snapshot = value;
        } else if (name == L"--document") {
            options.document = value;
        } else if (name == L"--startup-report") {
            options.startupReport = value;
        } else if (name == L"--steps") {
            options.steps = value;
        } else if (name == L"--language") {
            options.language = value == L"de" ? 1 : 0;
        }
    }
    LocalFree(args);
    return options;
}

bool AskedForVersion() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    bool asked = false;
    for (int i = 1; args != nullptr && i < count; ++i) {
        asked = asked || std::wstring_view(args[i]) == L"--version";
    }
    LocalFree(args);
    return asked;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Milliseconds since the process was created.
double MillisecondsSinceStart() {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;  // 100 ns units
}

// Copies what the window shows on screen (face and fields) into a PNG file.
bool SaveSnapshot(const MainWindow& window, const std::wstring& file) {
    for (int i = 0; i < 20; ++i) {
        PumpMessages();
        Sleep(25);
    }
    RECT client{};
    GetClientRect(window.Handle(), &client);
    const int width = client.right;
    const int height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory == nullptr || bitmap == nullptr) {
        if (memory)
            DeleteDC(memory);
        if (bitmap)
            DeleteObject(bitmap);
        return false;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    HDC screen = GetDC(window.Handle());
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ReleaseDC(window.Handle(), screen);
    GdiFlush();

    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Picture picture{width, height, std::vector<std::uint8_t>(count * 4)};
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < count; ++i) {
        picture.rgba[i * 4 + 0] = static_cast<std::uint8_t>(pixels[i] >> 16);
        picture.rgba[i * 4 + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
        picture.rgba[i * 4 + 2] = static_cast<std::uint8_t>(pixels[i]);
        picture.rgba[i * 4 + 3] = 255;
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);

    std::vector<std::uint8_t> png;
    if (!EncodePng(picture, png)) {
        return false;
    }
    std::ofstream out(std::filesystem::path(file), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

}  // namespace
}  // namespace melvane

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace melvane;
    if (AskedForVersion()) {
        // On the console it was started from, or in a box when there is none.
        constexpr char kVersion[] = "Melvane " MELVANE_VERSION "\n";
        if (!WriteStandardOutput(kVersion)) {
            MessageBoxW(nullptr, L"Melvane " MELVANE_VERSION, L"Melvane",
                        MB_OK | MB_ICONINFORMATION);
        }
        return 0;
    }
    // COM serves the Word path; it comes up once the window has painted its face (under Wine
    // starting it takes a quarter of a second) and goes down after the window.
    const double entered = MillisecondsSinceStart();
    HRESULT com = E_FAIL;
    int exitCode = 0;
    {
        const StartOptions options = ReadOptions();
        const NoteTable table = BuildNoteTables();
        const double tablesBuilt = MillisecondsSinceStart();
        // The pictures for the display the window will most likely open on.
        const int dpi = PrimaryDisplayDpi();
        ImageSet images;
        const bool loaded = LoadImageSetForDpi(images, dpi);
        const double picturesLoaded = MillisecondsSinceStart();
        if (!loaded) {
            MessageBoxW(nullptr, L"The program's pictures could not be loaded.", L"Melvane",
                        MB_OK | MB_ICONERROR);
            exitCode = 1;
        } else {
            const Language language = options.language >= 0
                                          ? static_cast<Language>(options.language)
                                          : UserDefaultLanguage();
            MessageBoxes messages;
            const std::unique_ptr<Shell> shell = CreateSystemShell();
            DocumentDispatch documents(table, messages, *shell);
            MainWindow window(images, language,
                              WindowServices{*shell, documents, &messages, nullptr, dpi});
            if (options.classic) {
                window.State().recognition = Recognition::Classic;
            }
            if (!options.startupReport.empty()) {
                const std::filesystem::path report(options.startupReport);
                window.OnFirstPaint([report, entered, tablesBuilt, picturesLoaded] {
                    // Where the time goes: the program's start, the note tables, the pictures,
                    // then the window up to its first paint.
                    std::ofstream(report) << "first painted face after " << MillisecondsSinceStart()
                                          << " ms (wWinMain at " << entered << ", note tables "
                                          << tablesBuilt - entered << ", pictures "
                                          << picturesLoaded - tablesBuilt << " ms)\n";
                    PostQuitMessage(0);
                });
            }
            if (!window.Create(instance, options.snapshot.empty() ? showCommand : SW_SHOWNORMAL)) {
                MessageBoxW(nullptr, L"The window could not be created.", L"Melvane",
                            MB_OK | MB_ICONERROR);
                exitCode = 1;
            } else {
                messages.SetOwner(window.Handle());
                window.ProcessPendingMessages();
                com = CoInitialize(nullptr);
                if (options.snapshot.empty()) {
                    exitCode = window.RunEventLoop();
                } else {
                    // The document goes in as a drop brings it, the step as if typed.
                    if (!options.document.empty()) {
                        window.Actions().HandleDrop(
                            {std::u16string(options.document.begin(), options.document.end())});
                    }
                    if (!options.steps.empty()) {
                        SetWindowTextW(window.StepFieldHandle(), options.steps.c_str());
                    }
                    exitCode = SaveSnapshot(window, options.snapshot) ? 0 : 1;
                }
            }
        }
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return exitCode;
}
