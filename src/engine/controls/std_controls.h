// Thin owners of the standard Windows controls that the forms use. Each is
// a real control of its standard class, so tests and tools can drive it
// with ordinary messages (BM_CLICK, WM_SETTEXT, LB_SETCURSEL, ...); the
// notifications come back to the object as events.
#pragma once

#include <functional>
#include <string>

#include "engine/controls/gdi.h"
#include "engine/controls/window.h"

namespace qv {

using TNotifyEvent = std::function<void()>;

// A background colour of a control's own (the system's window colour until
// set), answered when its parent asks with WM_CTLCOLOR*.
class TControlColor {
public:
    void Set(TWindow& control, COLORREF color);
    COLORREF Color() const { return set_ ? color_ : GetSysColor(COLOR_WINDOW); }
    // Answers a WM_CTLCOLOR* message for the control; false when no colour was set.
    bool Answer(UINT msg, WPARAM wParam, LRESULT& result) const;

private:
    Brush brush_;
    COLORREF color_ = 0;
    bool set_ = false;
};

// A static text. Word-wrapped unless told otherwise; an ampersand marks the
// accelerator that focuses the next control in tab order.
class TLabel : public TWindow {
public:
    struct Options {
        bool WordWrap = true;
        bool ShowAccelChar = true;
    };
    void Create(TWindow& parent, const TRect& r, const std::string& text, Options options);
    void Create(TWindow& parent, const TRect& r, const std::string& text) { Create(parent, r, text, Options{}); }
};

class TEdit : public TWindow {
public:
    void Create(TWindow& parent, const TRect& r, const std::string& text = {}, int maxLength = 0);
    TNotifyEvent OnChange;
    void SetColor(COLORREF color) { color_.Set(*this, color); }
    COLORREF Color() const { return color_.Color(); }

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    TControlColor color_;
};

// A read-only or editable multi-line edit with a vertical scroll bar.
class TMemo : public TWindow {
public:
    void Create(TWindow& parent, const TRect& r, bool readOnly, bool wantReturns);
    // Sets the whole text; bare line feeds become CR LF as the control needs.
    void SetLines(const std::string& text);
};

class TButton : public TWindow {
public:
    void Create(TWindow& parent, const TRect& r, const std::string& caption, bool isDefault = false);
    // A non-zero result ends the modal loop of the button's form when clicked.
    int ModalResult = 0;
    TNotifyEvent OnClick;
    void Click();  // as the user's click

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class TCheckBox : public TWindow {
public:
    void Create(TWindow& parent, const TRect& r, const std::string& caption);
    bool Checked() const;
    void SetChecked(bool checked);
    TNotifyEvent OnClick;

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class TRadioButton : public TWindow {
public:
    // The first button of a group starts the group (WS_GROUP).
    void Create(TWindow& parent, const TRect& r, const std::string& caption, bool firstOfGroup);
    bool Checked() const;
    void SetChecked(bool checked);
    TNotifyEvent OnClick;

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class TListBox : public TWindow {
public:
    struct Options {
        bool Sorted = false;
        bool OwnerDrawFixed = false;
        int ItemHeight = 0;  // 0: the control's own
    };
    void Create(TWindow& parent, const TRect& r, Options options);
    void Clear();
    int AddItem(const std::string& text, LPARAM data = 0);
    int Count() const;
    std::string Item(int index) const;
    LPARAM ItemData(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index);
    void SetItemHeight(int height);
    int ItemHeight() const;
    TNotifyEvent OnClick;     // selection changed
    TNotifyEvent OnDblClick;
    void SetColor(COLORREF color) { color_.Set(*this, color); }
    COLORREF Color() const { return color_.Color(); }

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    int itemHeight_ = 0;

private:
    TControlColor color_;
};

class TComboBox : public TWindow {
public:
    struct Options {
        bool DropDownList = true;
        bool OwnerDrawFixed = false;
        int ItemHeight = 0;
        int DropDownHeight = 200;  // height of the list part
    };
    void Create(TWindow& parent, const TRect& r, Options options);
    void Clear();
    int AddItem(const std::string& text, LPARAM data = 0);
    int Count() const;
    std::string Item(int index) const;
    LPARAM ItemData(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index);
    void SetItemHeight(int height);
    int ItemHeight() const;  // of the list items
    TNotifyEvent OnChange;    // the user picked an item
    TNotifyEvent OnDropDown;

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    int itemHeight_ = 0;
};

}  // namespace qv
