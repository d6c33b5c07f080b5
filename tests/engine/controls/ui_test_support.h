// Helpers of the user-interface tests: a canvas whose pixels can be read,
// a plain host form, and a way to act while a modal loop runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/controls/form.h"
#include "engine/controls/gdi.h"

namespace qv::test {

// A 32-bit off-screen canvas.
class PixelCanvas {
public:
    PixelCanvas(int width, int height, COLORREF fill = RGB(255, 0, 0));
    HDC dc() const { return dc_.get(); }
    COLORREF Pixel(int x, int y) const;
    int Width() const { return w_; }
    int Height() const { return h_; }
    // Number of pixels of `color` in row y, or in the rectangle.
    int CountInRow(int y, COLORREF color, int x0 = 0, int x1 = -1) const;
    int Count(COLORREF color) const;

private:
    int w_, h_;
    std::uint32_t* bits_ = nullptr;
    MemoryDC dc_;
    Bitmap bmp_;
    SelectIn selection_;
};

// A visible form to hold controls under test.
class THostForm : public TForm {
public:
    explicit THostForm(int clientWidth = 420, int clientHeight = 300, const std::string& caption = "test");
};

// Runs `action` from a timer once the current (modal) loop is running.
// The returned id is killed by the scope object.
class TimerAction {
public:
    TimerAction(std::function<void()> action, UINT delayMs = 50);
    ~TimerAction();
    bool Ran() const { return ran_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::function<void()> action_;
    UINT_PTR id_;
    bool ran_ = false;
};

// Pumps messages for a while (paints, posted messages).
void Pump(int milliseconds = 0);

// The first visible top-level window of this thread with this caption.
HWND FindThreadWindow(const std::wstring& caption, const wchar_t* className = nullptr);

// A child control of `parent` by class and text; null when none.
HWND FindChild(HWND parent, const wchar_t* className, const std::wstring& text = {});

}  // namespace qv::test
