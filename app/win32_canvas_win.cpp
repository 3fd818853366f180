#include "app/win32_canvas_win.h"

#include <algorithm>

namespace melvane {
namespace {

std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

ScopedBitmap CreatePixelBitmap(HDC dc, int width, int height, std::uint32_t*& pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedBitmap bitmap(
        dc != nullptr ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
    pixels = bitmap.Get() != nullptr ? static_cast<std::uint32_t*>(bits) : nullptr;
    return bitmap;
}

void Win32Canvas::SetScale(const ImageSet& images, HFONT font, DisplayScale scale) {
    images_ = &images;
    scale_ = scale;
    buffer_.reset();  // the old font and bitmap leave the old context before it goes
    buffer_.emplace(Width(), Height(), font);
    if (buffer_->pixels != nullptr) {
        SetBkMode(buffer_->dc.Get(), TRANSPARENT);
    }
}

bool Win32Canvas::BeginDrawing() {
    return Pixels() != nullptr;
}

void Win32Canvas::EndDrawing() {
    GdiFlush();
    if (window_ != nullptr) {
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
    }
}

void Win32Canvas::Present(HDC target) const {
    if (Dc() != nullptr) {
        BitBlt(target, 0, 0, Width(), Height(), Dc(), 0, 0, SRCCOPY);
    }
}

void Win32Canvas::PresentPart(HDC target, int x, int y, int width, int height) const {
    if (Dc() != nullptr) {
        BitBlt(target, 0, 0, width, height, Dc(), x, y, SRCCOPY);
    }
}

std::uint32_t Win32Canvas::PixelAt(int x, int y) const {
    if (Pixels() == nullptr || x < 0 || y < 0 || x >= kFaceWidth || y >= kFaceHeight) {
        return 0;
    }
    GdiFlush();
    return Pixels()[scale_.Pixels(y) * Width() + scale_.Pixels(x)] & 0xFFFFFF;
}

std::uint32_t Win32Canvas::DevicePixelAt(int x, int y) const {
    if (Pixels() == nullptr || x < 0 || y < 0 || x >= Width() || y >= Height()) {
        return 0;
    }
    GdiFlush();
    return Pixels()[y * Width() + x] & 0xFFFFFF;
}

void Win32Canvas::DrawPicture(PictureRef ref, int faceX, int faceY) {
    const Picture* picture = images_->Find(ref);
    std::uint32_t* const pixels = Pixels();
    if (picture == nullptr || pixels == nullptr) {
        return;
    }
    GdiFlush();
    const int x = scale_.Pixels(faceX);
    const int y = scale_.Pixels(faceY);
    const int faceWidth = Width();
    const int faceHeight = Height();
    // Source-over blending of straight-alpha RGBA onto the opaque buffer, clipped to the face.
    const int left = std::max(0, -x);
    const int top = std::max(0, -y);
    const int right = std::min(picture->width, faceWidth - x);
    const int bottom = std::min(picture->height, faceHeight - y);
    for (int row = top; row < bottom; ++row) {
        const std::uint8_t* source =
            &picture->rgba[static_cast<std::size_t>((row * picture->width + left) * 4)];
        std::uint32_t* target = &pixels[(y + row) * faceWidth + x + left];
        for (int column = left; column < right; ++column, source += 4, ++target) {
            const unsigned alpha = source[3];
            if (alpha == 0)
                continue;
            const unsigned red = source[0], green = source[1], blue = source[2];
            if (alpha == 255) {
                *target = (red << 16) | (green << 8) | blue;
                continue;
            }
            const unsigned old = *target;
            const auto mix = [alpha](unsigned over, unsigned under) {
                return (over * alpha + under * (255 - alpha) + 127) / 255;
            };
            *target = (mix(red, (old >> 16) & 0xFF) << 16) | (mix(green, (old >> 8) & 0xFF) << 8) |
                      mix(blue, old & 0xFF);
        }
    }
}

void Win32Canvas::FillBox(int x, int y, int width, int height, Rgb colour) {
    const RECT box{scale_.Pixels(x), scale_.Pixels(y), scale_.Pixels(x + width),
                   scale_.Pixels(y + height)};
    const ScopedBrush brush(CreateSolidBrush(RGB(colour.r, colour.g, colour.b)));
    FillRect(Dc(), &box, brush.Get());
}

void Win32Canvas::DrawText(int x, int y, std::u16string_view text, Rgb colour) {
    const std::wstring wide = Wide(text);
    SetTextColor(Dc(), RGB(colour.r, colour.g, colour.b));
    TextOutW(Dc(), scale_.Pixels(x), scale_.Pixels(y), wide.c_str(), static_cast<int>(wide.size()));
}

SIZE Win32Canvas::Extent(std::u16string_view text) const {
    const std::wstring wide = Wide(text);
    SIZE size{};
    GetTextExtentPoint32W(Dc(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

// The face measures in its own units.
int Win32Canvas::TextWidth(std::u16string_view text) {
    return scale_.Units(Extent(text).cx);
}

int Win32Canvas::TextHeight(std::u16string_view text) {
    return scale_.Units(Extent(text).cy);
}

}  // namespace melvane
