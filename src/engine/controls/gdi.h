// Owners of GDI handles: each frees its handle exactly once, on every path.
// Move-only; copying an owner does not compile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace qv {

// A pen, brush, font, bitmap, palette or region, deleted with DeleteObject.
template <class H>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(H handle) : h_(handle) {}
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { reset(); }

    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(H handle = nullptr) {
        if (h_) DeleteObject(h_);
        h_ = handle;
    }
    H release() { return std::exchange(h_, nullptr); }

private:
    H h_ = nullptr;
};

using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;
using Font = GdiObject<HFONT>;
using Palette = GdiObject<HPALETTE>;
using Pen = GdiObject<HPEN>;

// Describes a 32-bit top-down DIB of width × height pixels, each 0x00RRGGBB.
inline BITMAPINFO TopDownDib32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A 32-bit top-down DIB section; `bits` receives its pixels (null on failure).
inline Bitmap CreateDib32(int width, int height, std::uint32_t*& bits) {
    const BITMAPINFO info = TopDownDib32(width, height);
    void* raw = nullptr;
    Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0));
    bits = bitmap ? static_cast<std::uint32_t*>(raw) : nullptr;
    return bitmap;
}

// A window's (or the screen's) device context, released with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A memory device context, deleted with DeleteDC.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    MemoryDC(MemoryDC&& o) noexcept : dc_(std::exchange(o.dc_, nullptr)) {}
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() {
        if (dc_) DeleteDC(dc_);
    }
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { EndPaint(window_, &ps_); }
    HDC get() const { return dc_; }
    const PAINTSTRUCT& info() const { return ps_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Selects an object into a DC and selects the previous one back.
class SelectIn {
public:
    SelectIn(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
    SelectIn(const SelectIn&) = delete;
    SelectIn& operator=(const SelectIn&) = delete;
    ~SelectIn() {
        if (old_) SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// SaveDC / RestoreDC around a change of clipping or drawing state.
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), id_(SaveDC(dc)) {}
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;
    ~SavedDC() {
        if (id_) RestoreDC(dc_, id_);
    }

private:
    HDC dc_;
    int id_;
};

// Selects a palette into a DC (not as a background palette) and back.
class PaletteIn {
public:
    PaletteIn(HDC dc, HPALETTE palette) : dc_(dc), old_(palette ? SelectPalette(dc, palette, FALSE) : nullptr) {}
    PaletteIn(const PaletteIn&) = delete;
    PaletteIn& operator=(const PaletteIn&) = delete;
    ~PaletteIn() {
        if (old_) SelectPalette(dc_, old_, TRUE);
    }

private:
    HDC dc_;
    HPALETTE old_;
};

}  // namespace qv
