// Scoped owners for the Win32 handles the program makes itself: GDI objects, device contexts,
// objects selected into them and COM on a thread. Each gives its handle back on every path.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <utility>

namespace melvane {

// A font, brush or bitmap, deleted when its owner ends or takes another.
template <typename Handle>
class ScopedGdiObject {
  public:
    ScopedGdiObject() = default;
    explicit ScopedGdiObject(Handle handle) : handle_(handle) {}
    ~ScopedGdiObject() { Reset(); }
    ScopedGdiObject(ScopedGdiObject&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }

    void Reset(Handle handle = nullptr) {
        if (handle_ != nullptr) {
            DeleteObject(handle_);
        }
        handle_ = handle;
    }
    Handle Get() const { return handle_; }

  private:
    Handle handle_ = nullptr;
};

using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedBrush = ScopedGdiObject<HBRUSH>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;

// A memory device context compatible with the screen.
class ScopedMemoryDc {
  public:
    ScopedMemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~ScopedMemoryDc() {
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    ScopedMemoryDc(const ScopedMemoryDc&) = delete;
    ScopedMemoryDc& operator=(const ScopedMemoryDc&) = delete;

    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

// The device context of a window, or of the whole screen for none.
class ScopedWindowDc {
  public:
    explicit ScopedWindowDc(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;

    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context; what it replaced goes back in when this ends, so
// the object can be deleted afterwards. Nothing happens without a context or an object.
class ScopedSelection {
  public:
    ScopedSelection(HDC dc, HGDIOBJ object)
        : dc_(dc),
          previous_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelection() {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// COM in a single-threaded apartment for this thread while it lives. A thread that has COM
// already gets S_FALSE, which is balanced all the same.
class ScopedComInitialisation {
  public:
    explicit ScopedComInitialisation(DWORD flags = COINIT_APARTMENTTHREADED)
        : result_(CoInitializeEx(nullptr, flags)) {}
    ~ScopedComInitialisation() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ScopedComInitialisation(const ScopedComInitialisation&) = delete;
    ScopedComInitialisation& operator=(const ScopedComInitialisation&) = delete;

  private:
    HRESULT result_;
};

}  // namespace melvane
