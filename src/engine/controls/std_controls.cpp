#include "engine/controls/std_controls.h"

#include "engine/common/win_text.h"
#include "engine/controls/form.h"

namespace qv {

namespace {
std::string ListText(HWND h, UINT lenMsg, UINT textMsg, int index) {
    const LRESULT n = SendMessageW(h, lenMsg, static_cast<WPARAM>(index), 0);
    if (n < 0) return {};
    std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
    const LRESULT got = SendMessageW(h, textMsg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return Narrow(buf);
}
}  // namespace

void TControlColor::Set(TWindow& control, COLORREF color) {
    if (set_ && color == color_) return;
    brush_.reset(CreateSolidBrush(color));
    color_ = color;
    set_ = true;
    control.Invalidate(true);
}

bool TControlColor::Answer(UINT msg, WPARAM wParam, LRESULT& result) const {
    if (!set_ || (msg != WM_CTLCOLOREDIT && msg != WM_CTLCOLORSTATIC && msg != WM_CTLCOLORLISTBOX)) return false;
    // A disabled or read-only edit asks with WM_CTLCOLORSTATIC: the colour
    // set for it holds then too.
    SetBkColor(reinterpret_cast<HDC>(wParam), color_);
    result = reinterpret_cast<LRESULT>(brush_.get());
    return true;
}

void TLabel::Create(TWindow& parent, const TRect& r, const std::string& text, Options o) {
    DWORD style = WS_CHILD | WS_VISIBLE | (o.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
    if (!o.ShowAccelChar) style |= SS_NOPREFIX;
    CreateStandard(L"STATIC", 0, style, text, r, parent.Handle(), NextControlId());
}

void TEdit::Create(TWindow& parent, const TRect& r, const std::string& text, int maxLength) {
    CreateStandard(L"EDIT", WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, text, r,
                   parent.Handle(), NextControlId());
    if (maxLength > 0) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength), 0);
}

bool TEdit::Notify(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    if (color_.Answer(msg, wParam, result)) return true;
    if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
        if (OnChange) OnChange();
        result = 0;
        return true;
    }
    return false;
}

void TMemo::Create(TWindow& parent, const TRect& r, bool readOnly, bool wantReturns) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
    if (readOnly) style |= ES_READONLY;
    if (wantReturns) style |= ES_WANTRETURN;
    CreateStandard(L"EDIT", WS_EX_CLIENTEDGE, style, {}, r, parent.Handle(), NextControlId());
}

void TMemo::SetLines(const std::string& text) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
        crlf += text[i];
    }
    SetText(crlf);
}

void TButton::Create(TWindow& parent, const TRect& r, const std::string& caption, bool isDefault) {
    CreateStandard(L"BUTTON", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                   caption, r, parent.Handle(), NextControlId());
}

void TButton::Click() { ClickButton(this); }

bool TButton::Notify(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    if (msg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    result = 0;
    if (OnClick) OnClick();
    if (ModalResult != 0 && Handle()) {
        TWindow* root = FromHandle(GetAncestor(Handle(), GA_ROOT));
        if (TForm* form = root ? root->AsForm() : nullptr) form->SetModalResult(ModalResult);
    }
    return true;
}

void TCheckBox::Create(TWindow& parent, const TRect& r, const std::string& caption) {
    CreateStandard(L"BUTTON", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, caption, r, parent.Handle(),
                   NextControlId());
}
bool TCheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TCheckBox::SetChecked(bool c) { SendMessageW(Handle(), BM_SETCHECK, c ? BST_CHECKED : BST_UNCHECKED, 0); }
bool TCheckBox::Notify(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    if (msg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    result = 0;
    if (OnClick) OnClick();
    return true;
}

void TRadioButton::Create(TWindow& parent, const TRect& r, const std::string& caption, bool firstOfGroup) {
    CreateStandard(L"BUTTON", 0,
                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP : 0), caption, r,
                   parent.Handle(), NextControlId());
}
bool TRadioButton::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TRadioButton::SetChecked(bool c) { SendMessageW(Handle(), BM_SETCHECK, c ? BST_CHECKED : BST_UNCHECKED, 0); }
bool TRadioButton::Notify(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    if (msg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    result = 0;
    if (OnClick) OnClick();
    return true;
}

void TListBox::Create(TWindow& parent, const TRect& r, Options o) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    if (o.Sorted) style |= LBS_SORT;
    if (o.OwnerDrawFixed) style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
    itemHeight_ = o.ItemHeight;
    CreateStandard(L"LISTBOX", WS_EX_CLIENTEDGE, style, {}, r, parent.Handle(), NextControlId());
    if (o.ItemHeight > 0) SetItemHeight(o.ItemHeight);
}
void TListBox::Clear() { SendMessageW(Handle(), LB_RESETCONTENT, 0, 0); }
int TListBox::AddItem(const std::string& text, LPARAM data) {
    const std::wstring w = Widen(text);
    const int i = static_cast<int>(SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str())));
    if (i >= 0) SendMessageW(Handle(), LB_SETITEMDATA, static_cast<WPARAM>(i), data);
    return i;
}
int TListBox::Count() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0)); }
std::string TListBox::Item(int i) const { return ListText(Handle(), LB_GETTEXTLEN, LB_GETTEXT, i); }
LPARAM TListBox::ItemData(int i) const { return SendMessageW(Handle(), LB_GETITEMDATA, static_cast<WPARAM>(i), 0); }
int TListBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)); }
void TListBox::SetItemIndex(int i) { SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(i), 0); }
void TListBox::SetItemHeight(int h) {
    itemHeight_ = h;
    if (Handle()) SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(h, 0));
}
int TListBox::ItemHeight() const { return static_cast<int>(SendMessageW(Handle(), LB_GETITEMHEIGHT, 0, 0)); }
bool TListBox::Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (color_.Answer(msg, wParam, result)) return true;
    if (msg == WM_MEASUREITEM && itemHeight_ > 0) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(itemHeight_);
        result = TRUE;
        return true;
    }
    if (msg != WM_COMMAND) return false;
    result = 0;
    if (HIWORD(wParam) == LBN_SELCHANGE && OnClick) OnClick();
    if (HIWORD(wParam) == LBN_DBLCLK && OnDblClick) OnDblClick();
    return true;
}

void TComboBox::Create(TWindow& parent, const TRect& r, Options o) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | (o.DropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
    if (o.OwnerDrawFixed) style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
    itemHeight_ = o.ItemHeight;
    // The window's height includes the dropped-down list.
    TRect outer = r;
    outer.Height = r.Height + o.DropDownHeight;
    CreateStandard(L"COMBOBOX", 0, style, {}, outer, parent.Handle(), NextControlId());
    if (o.ItemHeight > 0) SetItemHeight(o.ItemHeight);
}
void TComboBox::Clear() { SendMessageW(Handle(), CB_RESETCONTENT, 0, 0); }
int TComboBox::AddItem(const std::string& text, LPARAM data) {
    const std::wstring w = Widen(text);
    const int i = static_cast<int>(SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str())));
    if (i >= 0) SendMessageW(Handle(), CB_SETITEMDATA, static_cast<WPARAM>(i), data);
    return i;
}
int TComboBox::Count() const { return static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0)); }
std::string TComboBox::Item(int i) const { return ListText(Handle(), CB_GETLBTEXTLEN, CB_GETLBTEXT, i); }
LPARAM TComboBox::ItemData(int i) const { return SendMessageW(Handle(), CB_GETITEMDATA, static_cast<WPARAM>(i), 0); }
int TComboBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0)); }
void TComboBox::SetItemIndex(int i) { SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(i), 0); }
void TComboBox::SetItemHeight(int h) {
    itemHeight_ = h;
    if (!Handle()) return;
    SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), h);  // the selection field
    SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, h);                         // the list items
}
int TComboBox::ItemHeight() const { return static_cast<int>(SendMessageW(Handle(), CB_GETITEMHEIGHT, 0, 0)); }
bool TComboBox::Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_MEASUREITEM && itemHeight_ > 0) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(itemHeight_);
        result = TRUE;
        return true;
    }
    if (msg != WM_COMMAND) return false;
    result = 0;
    if (HIWORD(wParam) == CBN_SELCHANGE && OnChange) OnChange();
    if (HIWORD(wParam) == CBN_DROPDOWN && OnDropDown) OnDropDown();
    return true;
}

}  // namespace qv
