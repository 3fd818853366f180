// The face's drawing surface on Windows: a 32-bit back buffer the face is composed in, shown by
// the canvas window in one copy so it never flickers. The face draws in 96-DPI units; the buffer
// has the display's pixels, and the pictures come drawn for its scale.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "app/face.h"
#include "app/pictures.h"
#include "platform/scoped_win.h"

namespace melvane {

// Face units (96 to the inch) and the pixels of a display at `dpi`.
struct DisplayScale {
    int dpi = 96;
    int Pixels(int units) const { return MulDiv(units, dpi, 96); }
    int Units(int pixels) const { return MulDiv(pixels, 96, dpi); }
};

// A top-down 32-bit bitmap whose pixels (0x00RRGGBB, `width` to a row) the program reads and
// writes directly; null when Windows refused.
ScopedBitmap CreatePixelBitmap(HDC dc, int width, int height, std::uint32_t*& pixels);

class Win32Canvas : public Canvas {
  public:
    // Nothing can be drawn before SetScale.
    explicit Win32Canvas(const ImageSet& images) : images_(&images) {}

    // A buffer for a display of `scale`, with the pictures drawn for it and the face's font at
    // its size; the canvas stays the same object, so whoever draws on it keeps drawing.
    void SetScale(const ImageSet& images, HFONT font, DisplayScale scale);
    // The window that shows the buffer; it is invalidated after every finished frame.
    void AttachWindow(HWND window) { window_ = window; }
    // Copies the buffer onto a device context (the canvas window's WM_PAINT).
    void Present(HDC target) const;
    // Copies the part of the buffer at (x, y) in display pixels to the origin of `target` (a
    // control on the canvas shows the face beneath it).
    void PresentPart(HDC target, int x, int y, int width, int height) const;
    // One pixel of the composed face as 0xRRGGBB, at face units; for tests and snapshots.
    std::uint32_t PixelAt(int x, int y) const;
    // One pixel of the buffer as 0xRRGGBB, at display pixels.
    std::uint32_t DevicePixelAt(int x, int y) const;
    const DisplayScale& Scale() const { return scale_; }
    // The buffer's size in display pixels.
    int Width() const { return scale_.Pixels(kFaceWidth); }
    int Height() const { return scale_.Pixels(kFaceHeight); }

    bool BeginDrawing() override;
    void EndDrawing() override;
    void DrawPicture(PictureRef picture, int x, int y) override;
    void FillBox(int x, int y, int width, int height, Rgb colour) override;
    void DrawText(int x, int y, std::u16string_view text, Rgb colour) override;
    int TextWidth(std::u16string_view text) override;
    int TextHeight(std::u16string_view text) override;

  private:
    // The buffer and what is selected into it, released in the reverse order.
    struct Buffer {
        Buffer(int width, int height, HFONT font)
            : bitmap(CreatePixelBitmap(dc.Get(), width, height, pixels)),
              bitmapSelection(bitmap.Get() != nullptr ? dc.Get() : nullptr, bitmap.Get()),
              fontSelection(bitmap.Get() != nullptr ? dc.Get() : nullptr, font) {}
        ScopedMemoryDc dc;
        std::uint32_t* pixels = nullptr;  // BGRA, top-down, Width() x Height()
        ScopedBitmap bitmap;
        ScopedSelection bitmapSelection;
        ScopedSelection fontSelection;
    };

    SIZE Extent(std::u16string_view text) const;
    HDC Dc() const { return buffer_ ? buffer_->dc.Get() : nullptr; }
    std::uint32_t* Pixels() const { return buffer_ ? buffer_->pixels : nullptr; }

    const ImageSet* images_;
    DisplayScale scale_;
    HWND window_ = nullptr;
    std::optional<Buffer> buffer_;
};

}  // namespace melvane
