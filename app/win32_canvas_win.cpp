#include "app/win32_canvas_win.h"

#include <algorithm>

namespace melvane {
namespace {

std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

Win32Canvas::Win32Canvas(const ImageSet& images, HFONT font, int dpi)
    : images_(images), font_(font), dpi_(dpi) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Width();
    info.bmiHeader.biHeight = -Height();  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<std::uint32_t*>(bits);
    if (dc_ != nullptr && bitmap_ != nullptr) {
        previousBitmap_ = SelectObject(dc_, bitmap_);
        if (font_ != nullptr) {
            previousFont_ = SelectObject(dc_, font_);
        }
        SetBkMode(dc_, TRANSPARENT);
    }
}

Win32Canvas::~Win32Canvas() {
    if (dc_ != nullptr) {
        if (previousFont_ != nullptr)
            SelectObject(dc_, previousFont_);
        if (previousBitmap_ != nullptr)
            SelectObject(dc_, previousBitmap_);
        DeleteDC(dc_);
    }
    if (bitmap_ != nullptr)
        DeleteObject(bitmap_);
}

bool Win32Canvas::BeginDrawing() {
    return dc_ != nullptr && pixels_ != nullptr;
}

void Win32Canvas::EndDrawing() {
    GdiFlush();
    if (window_ != nullptr) {
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
    }
}

void Win32Canvas::Present(HDC target) const {
    if (dc_ != nullptr) {
        BitBlt(target, 0, 0, Width(), Height(), dc_, 0, 0, SRCCOPY);
    }
}

std::uint32_t Win32Canvas::PixelAt(int x, int y) const {
    if (pixels_ == nullptr || x < 0 || y < 0 || x >= kFaceWidth || y >= kFaceHeight) {
        return 0;
    }
    GdiFlush();
    return pixels_[Device(y) * Width() + Device(x)] & 0xFFFFFF;
}

std::uint32_t Win32Canvas::DevicePixelAt(int x, int y) const {
    if (pixels_ == nullptr || x < 0 || y < 0 || x >= Width() || y >= Height()) {
        return 0;
    }
    GdiFlush();
    return pixels_[y * Width() + x] & 0xFFFFFF;
}

void Win32Canvas::DrawPicture(PictureRef ref, int faceX, int faceY) {
    const Picture* picture = images_.Find(ref);
    if (picture == nullptr || pixels_ == nullptr) {
        return;
    }
    GdiFlush();
    const int x = Device(faceX);
    const int y = Device(faceY);
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
        std::uint32_t* target = &pixels_[(y + row) * faceWidth + x + left];
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
    const RECT box{Device(x), Device(y), Device(x + width), Device(y + height)};
    HBRUSH brush = CreateSolidBrush(RGB(colour.r, colour.g, colour.b));
    FillRect(dc_, &box, brush);
    DeleteObject(brush);
}

void Win32Canvas::DrawText(int x, int y, std::u16string_view text, Rgb colour) {
    const std::wstring wide = Wide(text);
    SetTextColor(dc_, RGB(colour.r, colour.g, colour.b));
    TextOutW(dc_, Device(x), Device(y), wide.c_str(), static_cast<int>(wide.size()));
}

SIZE Win32Canvas::Extent(std::u16string_view text) const {
    const std::wstring wide = Wide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

// The face measures in its own units.
int Win32Canvas::TextWidth(std::u16string_view text) {
    return MulDiv(Extent(text).cx, 96, dpi_);
}

int Win32Canvas::TextHeight(std::u16string_view text) {
    return MulDiv(Extent(text).cy, 96, dpi_);
}

}  // namespace melvane
