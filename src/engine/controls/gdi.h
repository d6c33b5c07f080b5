// Owners of GDI handles, as UniqueOwner traits (see core/unique_owner.h):
// each frees its handle exactly once, on every path, and copying one does
// not compile. A device context goes back the way it came (ReleaseDC to its
// window, DeleteDC, EndPaint), and a selection puts the old object back into
// the same device context.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/common/win_handles.h"

namespace qv {

namespace handle_traits {

// From GetDC: released to the window it came from (null: the screen).
struct WindowDC {
    using Handle = HDC;
    HWND Window = nullptr;
    static Handle Empty() noexcept { return nullptr; }
    void Close(Handle dc) const noexcept { ReleaseDC(Window, dc); }
};
// From BeginPaint, which fills in Info.
struct PaintDC {
    using Handle = HDC;
    HWND Window = nullptr;
    PAINTSTRUCT Info{};
    static Handle Empty() noexcept { return nullptr; }
    void Close(Handle) const noexcept { EndPaint(Window, &Info); }
};
// The handle is the object that was selected before.
struct Selection {
    using Handle = HGDIOBJ;
    HDC Dc = nullptr;
    static Handle Empty() noexcept { return nullptr; }
    void Close(Handle old) const noexcept { SelectObject(Dc, old); }
};
// The palette that was selected before; it goes back as a background palette.
struct PaletteSelection {
    using Handle = HPALETTE;
    HDC Dc = nullptr;
    static Handle Empty() noexcept { return nullptr; }
    void Close(Handle old) const noexcept { SelectPalette(Dc, old, TRUE); }
};
// The number SaveDC gave (0: it failed).
struct SavedState {
    using Handle = int;
    HDC Dc = nullptr;
    static Handle Empty() noexcept { return 0; }
    void Close(Handle id) const noexcept { RestoreDC(Dc, id); }
};

}  // namespace handle_traits

// Pens, brushes, fonts, bitmaps and palettes go with DeleteObject.
using Bitmap = UniqueAny<HBITMAP, DeleteObject>;
using Brush = UniqueAny<HBRUSH, DeleteObject>;
using Font = UniqueAny<HFONT, DeleteObject>;
using Palette = UniqueAny<HPALETTE, DeleteObject>;
using Pen = UniqueAny<HPEN, DeleteObject>;

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

// A window's (or, for null, the screen's) device context.
class WindowDC : public UniqueOwner<handle_traits::WindowDC> {
public:
    explicit WindowDC(HWND window) : UniqueOwner(GetDC(window), handle_traits::WindowDC{window}) {}
};

// A memory device context compatible with `compatibleWith` (null: the screen).
class MemoryDC : public UniqueAny<HDC, DeleteDC> {
public:
    explicit MemoryDC(HDC compatibleWith) : UniqueOwner(CreateCompatibleDC(compatibleWith)) {}
};

// BeginPaint / EndPaint.
class PaintDC : public UniqueOwner<handle_traits::PaintDC> {
public:
    explicit PaintDC(HWND window) : UniqueOwner(nullptr, handle_traits::PaintDC{window}) {
        reset(BeginPaint(window, &mutable_traits().Info));
    }
    const PAINTSTRUCT& info() const { return traits().Info; }
};

// Selects an object into a DC (none when `object` is null) and selects the
// previous one back.
class SelectIn : public UniqueOwner<handle_traits::Selection> {
public:
    SelectIn(HDC dc, HGDIOBJ object)
        : UniqueOwner(object ? SelectObject(dc, object) : nullptr, handle_traits::Selection{dc}) {}
};

// Selects a palette into a DC (not as a background palette) and back.
class PaletteIn : public UniqueOwner<handle_traits::PaletteSelection> {
public:
    PaletteIn(HDC dc, HPALETTE palette)
        : UniqueOwner(palette ? SelectPalette(dc, palette, FALSE) : nullptr, handle_traits::PaletteSelection{dc}) {}
};

// SaveDC / RestoreDC around a change of clipping or drawing state.
class SavedDC : public UniqueOwner<handle_traits::SavedState> {
public:
    explicit SavedDC(HDC dc) : UniqueOwner(SaveDC(dc), handle_traits::SavedState{dc}) {}
};

}  // namespace qv
