// Melvane.exe: start-up, the window, and a snapshot mode that saves a picture of the window.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/document_dispatch.h"
#include "app/main_window_win.h"
#include "app/pictures.h"
#include "app/start_options.h"
#include "chords/note_table.h"
#include "documents/messages.h"
#include "melvane_version.h"
#include "platform/console.h"
#include "platform/language.h"
#include "platform/scoped_win.h"
#include "platform/shell.h"

namespace melvane {
namespace {

// The program's arguments, without its own name.
std::vector<std::u16string> Arguments() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::u16string> arguments;
    for (int i = 1; args != nullptr && i < count; ++i) {
        const std::wstring arg(args[i]);
        arguments.emplace_back(arg.begin(), arg.end());
    }
    LocalFree(args);
    return arguments;
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
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

// A box about a start that failed, before or without the window.
void ShowStartFailure(Language language, Message message) {
    MessageBoxes().Show({u"Melvane", MessageText(message, language), MessageIcon::Error});
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
    const ScopedMemoryDc memory;
    std::uint32_t* pixels = nullptr;
    const ScopedBitmap bitmap = CreatePixelBitmap(memory.Get(), width, height, pixels);
    if (pixels == nullptr) {
        return false;
    }
    {
        const ScopedSelection selected(memory.Get(), bitmap.Get());
        const ScopedWindowDc screen(window.Handle());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), 0, 0, SRCCOPY);
    }
    GdiFlush();

    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Picture picture{width, height, std::vector<std::uint8_t>(count * 4)};
    for (std::size_t i = 0; i < count; ++i) {
        picture.rgba[i * 4 + 0] = static_cast<std::uint8_t>(pixels[i] >> 16);
        picture.rgba[i * 4 + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
        picture.rgba[i * 4 + 2] = static_cast<std::uint8_t>(pixels[i]);
        picture.rgba[i * 4 + 3] = 255;
    }

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
    const std::vector<std::u16string> args = Arguments();
    if (std::find(args.begin(), args.end(), u"--version") != args.end()) {
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
    std::optional<ScopedComInitialisation> com;
    int exitCode = 0;
    {
        const StartOptions options = ReadStartOptions(args);
        const Language language = options.language.value_or(UserDefaultLanguage());
        const NoteTable table = BuildNoteTables();
        const double tablesBuilt = MillisecondsSinceStart();
        // The pictures for the display the window will most likely open on.
        const int dpi = PrimaryDisplayDpi();
        ImageSet images;
        const bool loaded = LoadImageSetForDpi(images, dpi);
        const double picturesLoaded = MillisecondsSinceStart();
        if (!loaded) {
            ShowStartFailure(language, Message::PicturesNotLoaded);
            exitCode = 1;
        } else {
            MessageBoxes messages;
            const std::unique_ptr<Shell> shell = CreateSystemShell();
            DocumentDispatch documents(table, messages, *shell);
            MainWindow window(images, language,
                              WindowServices{*shell, documents, &messages, nullptr, dpi});
            if (options.classic) {
                window.State().recognition = Recognition::Classic;
                window.State().SpellingChoice = DefaultSpelling(Recognition::Classic);
            }
            if (!options.startupReport.empty()) {
                const std::filesystem::path report(Wide(options.startupReport));
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
                ShowStartFailure(language, Message::WindowNotCreated);
                exitCode = 1;
            } else {
                messages.SetOwner(window.Handle());
                window.ProcessPendingMessages();
                com.emplace();
                // "Open with", a drop on the icon, Send to: the document comes chosen, the step
                // as if typed; nothing more happens until the user says so.
                if (!options.document.empty()) {
                    window.Actions().OpenAtStart(options.document);
                }
                if (!options.steps.empty()) {
                    window.Actions().PresetSteps(options.steps);
                }
                if (options.snapshot.empty()) {
                    exitCode = window.RunEventLoop();
                } else {
                    for (int i = 0; i < options.tabs; ++i) {
                        window.Actions().HandleKey({Key::Tab});
                    }
                    exitCode = SaveSnapshot(window, Wide(options.snapshot)) ? 0 : 1;
                }
            }
        }
    }
    return exitCode;
}
