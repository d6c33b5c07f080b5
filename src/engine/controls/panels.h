// Windows that hold or paint: a paint box whose owner paints it, and a
// notebook whose pages are containers of which one is shown at a time.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "engine/controls/window.h"

namespace qv {

class TPaintBox : public TWindow {
public:
    void Create(TWindow& parent, const TRect& r);
    // Paints the box; the DC has the parent's font selected.
    std::function<void(HDC dc, const RECT& client)> OnPaint;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// A page of a notebook (or any plain container of controls).
class TPage : public TWindow {
public:
    void Create(TWindow& parent, const TRect& r, bool visible);
};

class TNotebook : public TWindow {
public:
    void Create(TWindow& parent, const TRect& r, int pageCount);
    TPage& Page(int index) { return *pages_.at(static_cast<std::size_t>(index)); }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    int PageIndex() const { return active_; }
    void SetPageIndex(int index);

private:
    std::vector<std::unique_ptr<TPage>> pages_;
    int active_ = 0;
};

}  // namespace qv
