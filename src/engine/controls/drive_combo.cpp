#include "engine/controls/drive_combo.h"

#include <winnetwk.h>

#include <algorithm>

#include "core/text/path_strings.h"
#include "engine/common/system_library.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/controls/current_folder.h"
#include "engine/controls/dir_list.h"
#include "engine/controls/fonts.h"
#include "engine/controls/gdi.h"

namespace qv {

namespace {
const char* const kDriveGlyphs[5] = {"NFC_FLOPPY", "NFC_HARD", "NFC_NETWORK", "NFC_CDROM", "NFC_RAM"};

std::string VolumeLabel(const std::wstring& root) {
    wchar_t label[MAX_PATH + 1] = {};
    // An empty floppy or CD drive fails quietly instead of asking for a disk.
    ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0)) return {};
    return Narrow(label);
}
}  // namespace

TDriveItem DescribeDrive(char letter, TNewTextCase textCase) {
    const char shown = textCase == tcUpperCase ? UpperAscii(letter) : LowerAscii(letter);
    const std::wstring root = Widen(std::string(1, shown) + ":\\");
    const UINT type = GetDriveTypeW(root.c_str());
    const std::string head = std::string(1, shown) + ":";
    std::string name;
    TDriveKind kind = dkHard;
    switch (type) {
        case DRIVE_REMOVABLE:
            // No label is read: an empty floppy drive must not be touched.
            return {head, dkFloppy};
        case DRIVE_REMOTE: {
            wchar_t remote[MAX_PATH] = {};
            DWORD size = MAX_PATH;
            const std::wstring local = Widen(std::string(1, UpperAscii(letter)) + ":");
            if (system_library::WNetGetConnectionW(local.c_str(), remote, &size) == NO_ERROR)
                name = Narrow(remote);
            else
                name = VolumeLabel(root);
            kind = dkNetwork;
            break;
        }
        case DRIVE_CDROM:
            name = VolumeLabel(root);
            kind = dkCDROM;
            break;
        case DRIVE_RAMDISK:
            name = VolumeLabel(root);
            kind = dkRAM;
            break;
        default:
            name = VolumeLabel(root);
            kind = dkHard;
            break;
    }
    name = (shown >= 'a' && shown <= 'z') ? LowerCaseFileName(name) : UpperCaseFileName(name);
    return {head + " " + name, kind};
}

TNewDriveComboBox::TNewDriveComboBox() : color_(GetSysColor(COLOR_WINDOW)) {}

TNewDriveComboBox::~TNewDriveComboBox() {
    if (dirList_) dirList_->linkedDriveBox_ = nullptr;
}

void TNewDriveComboBox::Create(TWindow& parent, const TRect& r) {
    const std::string cur = GetCurrentFolder();
    driveLetter_ = cur.size() >= 2 && cur[1] == ':' ? cur[0] : 0;
    if (driveLetter_) driveLetter_ = textCase_ == tcLowerCase ? LowerAscii(driveLetter_) : UpperAscii(driveLetter_);
    BuildGlyphs();
    TComboBox::Create(parent, r, Options{true, true, 16, 200});
    FontChanged();
    BuildList();
    const char letter = driveLetter_;
    driveLetter_ = 0;  // so that ChangeDrive selects the item
    ChangeDrive(letter);
}

void TNewDriveComboBox::FontChanged() {
    // Item height: the font's character height, at least 16.
    const auto font = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
    SetItemHeight(std::max(16, CharHeight(font)));
}

void TNewDriveComboBox::BuildGlyphs() {
    for (int k = 0; k < 5; ++k) glyphs_[k].Build(kDriveGlyphs[k], color_, GetSysColor(COLOR_HIGHLIGHT));
}

void TNewDriveComboBox::SetColor(COLORREF color) {
    if (color == color_) return;
    color_ = color;
    BuildGlyphs();
    Invalidate(true);
}

void TNewDriveComboBox::BuildList() {
    if (!Handle()) return;
    Clear();
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        const TDriveItem item = DescribeDrive(static_cast<char>('a' + i), textCase_);
        AddItem(item.Text, item.Kind);
    }
}

TDriveKind TNewDriveComboBox::ItemKind(int index) const { return static_cast<TDriveKind>(ItemData(index)); }

void TNewDriveComboBox::ChangeDrive(char letter) {
    if (ItemIndex() >= 0 && UpperAscii(letter) == UpperAscii(driveLetter_)) return;
    const char old = driveLetter_;
    try {
        if (letter != 0) {
            driveLetter_ = textCase_ == tcLowerCase ? LowerAscii(UpperAscii(letter)) : UpperAscii(letter);
            int found = -1;
            for (int i = 0; i < Count() && found < 0; ++i) {
                const std::string t = Item(i);
                if (t.size() >= 2 && UpperAscii(t[0]) == UpperAscii(driveLetter_) && t[1] == ':') found = i;
            }
            SetItemIndex(found);
        } else {
            driveLetter_ = 0;
            SetItemIndex(-1);
        }
        if (dirList_) dirList_->ChangeDrive(driveLetter_);
        if (OnChange) OnChange();
    } catch (...) {
        driveLetter_ = old;
        throw;
    }
}

void TNewDriveComboBox::SetTextCase(TNewTextCase textCase) {
    if (textCase == textCase_) return;
    textCase_ = textCase;
    BuildList();
    const char letter = driveLetter_;
    driveLetter_ = 0;
    SetItemIndex(-1);
    ChangeDrive(letter);
}

void TNewDriveComboBox::SetDirList(TNewDirectoryListBox* list) {
    if (dirList_ == list) return;
    if (dirList_) dirList_->linkedDriveBox_ = nullptr;
    dirList_ = list;
    if (dirList_) dirList_->linkedDriveBox_ = this;
}

void TNewDriveComboBox::Click() {
    const int i = ItemIndex();
    if (i < 0) return;
    const std::string t = Item(i);
    try {
        ChangeDrive(t.empty() ? 0 : t[0]);
    } catch (...) {
        SetItemIndex(-1);
        throw;
    }
}

void TNewDriveComboBox::DrawItem(const DRAWITEMSTRUCT& dis) {
    HDC dc = dis.hDC;
    const bool selected = (dis.itemState & ODS_SELECTED) != 0;
    Brush brush(CreateSolidBrush(selected ? GetSysColor(COLOR_HIGHLIGHT) : color_));
    FillRect(dc, &dis.rcItem, brush.get());
    if (dis.itemID == static_cast<UINT>(-1)) return;
    const int index = static_cast<int>(dis.itemID);
    const TGlyph& glyph = glyphs_[ItemKind(index)];
    const int glyphWidth = glyph.Empty() ? 16 : glyph.Width();
    const int itemHeight = dis.rcItem.bottom - dis.rcItem.top;
    if (!glyph.Empty())
        glyph.Draw(dc, dis.rcItem.left + 4, dis.rcItem.top + (itemHeight - glyph.Height()) / 2, selected);
    RECT text = dis.rcItem;
    text.left += glyphWidth + 8;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring w = Widen(Item(index));
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &text, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    if (dis.itemState & ODS_FOCUS) DrawFocusRect(dc, &dis.rcItem);
}

bool TNewDriveComboBox::Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
        result = 0;
        Click();
        return true;
    }
    return TComboBox::Notify(msg, wParam, lParam, result);
}

LRESULT TNewDriveComboBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SYSCOLORCHANGE) BuildGlyphs();
    if (msg == WM_SETFONT) {
        const LRESULT r = TComboBox::WndProc(msg, wParam, lParam);
        FontChanged();
        return r;
    }
    return TComboBox::WndProc(msg, wParam, lParam);
}

}  // namespace qv
