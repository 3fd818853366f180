// The face's drawing surface on Windows: a 32-bit back buffer the face is composed in, shown by
// the canvas window in one copy so it never flickers.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/face.h"
#include "app/pictures.h"

namespace melvane {

class Win32Canvas : public Canvas {
  public:
    Win32Canvas(const ImageSet& images, HFONT font);
    ~Win32Canvas() override;
    Win32Canvas(const Win32Canvas&) = delete;
    Win32Canvas& operator=(const Win32Canvas&) = delete;

    // The window that shows the buffer; it is invalidated after every finished frame.
    void AttachWindow(HWND window) { window_ = window; }
    // Copies the buffer onto a device context (the canvas window's WM_PAINT).
    void Present(HDC target) const;
    // One pixel of the composed face as 0xRRGGBB; for tests and snapshots.
    std::uint32_t PixelAt(int x, int y) const;
    HDC BufferDc() const { return dc_; }

    bool BeginDrawing() override;
    void EndDrawing() override;
    void DrawPicture(PictureRef picture, int x, int y) override;
    void FillBox(int x, int y, int width, int height, Rgb colour) override;
    void DrawText(int x, int y, std::u16string_view text, Rgb colour) override;
    int TextWidth(std::u16string_view text) override;
    int TextHeight(std::u16string_view text) override;

  private:
    SIZE Extent(std::u16string_view text) const;

    const ImageSet& images_;
    HFONT font_;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    HGDIOBJ previousFont_ = nullptr;
    std::uint32_t* pixels_ = nullptr;  // BGRA, top-down, kFaceWidth x kFaceHeight
};

}  // namespace melvane
