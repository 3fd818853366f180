// The face's drawing surface on Windows: a 32-bit back buffer the face is composed in, shown by
// the canvas window in one copy so it never flickers. The face draws in 96-DPI units; the buffer
// has the display's pixels, and the pictures come drawn for its scale.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/face.h"
#include "app/pictures.h"

namespace melvane {

class Win32Canvas : public Canvas {
  public:
    Win32Canvas(const ImageSet& images, HFONT font, int dpi = 96);
    ~Win32Canvas() override;
    Win32Canvas(const Win32Canvas&) = delete;
    Win32Canvas& operator=(const Win32Canvas&) = delete;

    // The window that shows the buffer; it is invalidated after every finished frame.
    void AttachWindow(HWND window) { window_ = window; }
    // Copies the buffer onto a device context (the canvas window's WM_PAINT).
    void Present(HDC target) const;
    // One pixel of the composed face as 0xRRGGBB, at face units; for tests and snapshots.
    std::uint32_t PixelAt(int x, int y) const;
    // One pixel of the buffer as 0xRRGGBB, at display pixels.
    std::uint32_t DevicePixelAt(int x, int y) const;
    // Face units to display pixels, and the buffer's size.
    int Device(int units) const { return MulDiv(units, dpi_, 96); }
    int Width() const { return Device(kFaceWidth); }
    int Height() const { return Device(kFaceHeight); }
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
    int dpi_;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    HGDIOBJ previousFont_ = nullptr;
    std::uint32_t* pixels_ = nullptr;  // BGRA, top-down, Width() x Height()
};

}  // namespace melvane
