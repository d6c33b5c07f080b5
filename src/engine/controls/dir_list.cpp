#include "engine/controls/dir_list.h"

#include <algorithm>
#include <vector>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/controls/current_folder.h"
#include "engine/controls/drive_combo.h"
#include "engine/controls/fonts.h"
#include "engine/controls/gdi.h"

namespace qv {

namespace {
const char* const kFolderGlyphs[3] = {"NFC_CLOSEDFOLDER", "NFC_OPENFOLDER", "NFC_CURRENTFOLDER"};

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The drive letter of "c:" or "c:\..." in upper case. The drive box shows
// lower-case letters, but Wine answers a drive-relative "c:" with the letter
// as given ("c:\") where Windows answers "C:\...", and every path that the
// installation writes would then read "c:\...".
std::string WithUpperDriveLetter(std::string path) {
    if (path.size() >= 2 && path[1] == ':') path[0] = UpperLetter(path[0]);
    return path;
}

// The folder part, drive letter and file part of a path, as ChangeFolder
// resolves it against the process's current folder.
struct SplitPath {
    char Letter = 0;
    std::string Folder;
    std::string File;
};

SplitPath SplitForChange(const std::string& path) {
    SplitPath out;
    const std::string saved = GetCurrentFolder();
    // The current folder is put back whatever happens.
    const ScopeExit restore([&] { TryChangeCurrentFolder(saved); });

    out.Letter = saved.size() >= 2 && saved[1] == ':' ? saved[0] : 0;
    std::string dir = path;
    std::string root;
    if (path.size() >= 2 && path.front() == '[' && path.back() == ']') {
        dir = path.substr(1, path.size() - 2);
    } else {
        root = DrivePrefix(dir);
        if (root.empty())
            root = DrivePrefix(saved);
        else
            dir.erase(0, root.size());
        root = WithUpperDriveLetter(root);
        out.Letter = root.size() >= 2 && root[1] == ':' ? root[0] : 0;
    }
    TryChangeCurrentFolder(root);  // that drive's own current folder; a failure is ignored

    const auto slash = dir.rfind('\\');
    out.File = slash == std::string::npos ? dir : dir.substr(slash + 1);
    if (dir.size() == out.File.size() + 1) {
        dir = "\\";
    } else if (out.File.size() < dir.size()) {
        dir.resize(dir.size() - out.File.size() - 1);
    } else {
        const std::string cur = GetCurrentFolder();
        dir = cur.substr(DrivePrefix(cur).size());
        if (dir.empty()) dir = "\\";
    }
    if (!dir.empty()) ChangeCurrentFolder(dir);
    if (!out.File.empty() && out.File.find_first_of("*?") == std::string::npos) {
        const DWORD attrs = GetFileAttributesW(Widen(out.File).c_str());
        const bool isFile = attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
        if (!isFile) {
            ChangeCurrentFolder(out.File);
            if (dir.empty() || dir.back() != '\\') dir += '\\';
            dir += out.File;
            out.File.clear();
        }
    }
    if (out.Letter == 0) dir = root + dir;
    out.Folder = dir;
    return out;
}

bool SameLetter(char a, char b) { return UpperLetter(a) == UpperLetter(b); }
}  // namespace

TNewDirectoryListBox::TNewDirectoryListBox() : color_(GetSysColor(COLOR_WINDOW)) {}

TNewDirectoryListBox::~TNewDirectoryListBox() {
    if (linkedDriveBox_) linkedDriveBox_->dirList_ = nullptr;
}

void TNewDirectoryListBox::Create(TWindow& parent, const TRect& r) {
    folderPath_ = GetCurrentFolder();
    BuildGlyphs();
    TRect rect = r;
    if (rect.Width == 0) rect.Width = 145;
    TListBox::Create(parent, rect, Options{false, true, 0});
    FontChanged();
    BuildList();
}

void TNewDirectoryListBox::FontChanged() {
    // Item height: the font's character height, at least 15.
    const auto font = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
    SetItemHeight(std::max(15, CharHeight(font)));
}

void TNewDirectoryListBox::BuildGlyphs() {
    for (int k = 0; k < 3; ++k) glyphs_[k].Build(kFolderGlyphs[k], color_, GetSysColor(COLOR_HIGHLIGHT));
}

void TNewDirectoryListBox::SetColor(COLORREF color) {
    if (color == color_) return;
    color_ = color;
    BuildGlyphs();
    Invalidate(true);
}

void TNewDirectoryListBox::SetDirLabel(HWND label) {
    dirLabel_ = label;
    if (dirLabel_ && IsWindow(dirLabel_)) SetWindowTextW(dirLabel_, Widen(folderPath_).c_str());
}

std::string TNewDirectoryListBox::CaseForDisplay(const std::string& name) const {
    if (name.empty()) return {};
    if (volumeKeepsCase_ && (name.back() == '\\' || UpperCaseFileName(name) != name)) return name;
    return volumeCaseSensitive_ ? name : LowerCaseFileName(name);
}

TFolderKind TNewDirectoryListBox::ItemKind(int index) const {
    return static_cast<TFolderKind>(ItemData(index));
}

std::string TNewDirectoryListBox::ItemFullPath(int index) const {
    if (index < 0 || index >= Count()) return {};
    return FolderItemFullPath(folderPath_, index, FolderItem{Item(index), ItemKind(index)});
}

int TNewDirectoryListBox::ItemIndent(int index) const {
    const int level = ItemKind(index) == fkSubFolder ? FolderDepth(folderPath_) : index;
    return 4 * level + 4;
}

void TNewDirectoryListBox::BuildList() {
    if (!Handle()) return;
    SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
    const ScopeExit redraw([h = Handle()] {
        SendMessageW(h, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(h, nullptr, TRUE);
    });
    Clear();

    const std::string root = DrivePrefix(folderPath_) + "\\";
    DWORD flags = 0;
    {
        ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
        if (!GetVolumeInformationW(Widen(root).c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) return;
    }
    volumeKeepsCase_ = (flags & (FS_CASE_SENSITIVE | FS_CASE_IS_PRESERVED)) != 0;
    volumeCaseSensitive_ = (flags & FS_CASE_SENSITIVE) != 0;

    for (const auto& item : AncestorItems(folderPath_)) AddItem(item.Name, item.Kind);
    const int current = Count() - 1;

    std::vector<std::wstring> subFolders;
    const std::string pattern =
        (!folderPath_.empty() && folderPath_.back() == '\\' ? folderPath_ : folderPath_ + "\\") + "*.*";
    WIN32_FIND_DATAW fd;
    const UniqueFindHandle find(FindFirstFileW(Widen(pattern).c_str(), &fd));
    if (find) {
        do {
            const DWORD a = fd.dwFileAttributes;
            if (!(a & FILE_ATTRIBUTE_DIRECTORY) || (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) continue;
            if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
            subFolders.emplace_back(fd.cFileName);
        } while (FindNextFileW(find.get(), &fd));
    }
    std::sort(subFolders.begin(), subFolders.end(),
              [](const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; });
    for (const auto& name : subFolders) AddItem(Narrow(name), fkSubFolder);

    SetItemIndex(current);
}

void TNewDirectoryListBox::Change() {
    if (dirLabel_ && IsWindow(dirLabel_)) SetWindowTextW(dirLabel_, Widen(folderPath_).c_str());
    if (OnChange) OnChange();
}

void TNewDirectoryListBox::ChangeDrive(char letter) {
    if (!folderPath_.empty() && SameLetter(letter, folderPath_[0])) return;
    if (letter != 0) {
        ChangeCurrentFolder(WithUpperDriveLetter(std::string(1, letter) + ":"));
        folderPath_ = GetCurrentFolder();
    }
    if (!changingFolder_) {
        BuildList();
        Change();
    }
}

void TNewDirectoryListBox::ChangeFolder(const std::string& path) {
    if (path.empty()) return;
    if (volumeCaseSensitive_ ? path == folderPath_ : SameFileName(path, folderPath_)) return;

    const SplitPath split = SplitForChange(path);

    if (folderPath_.empty() || !SameLetter(split.Letter, folderPath_[0])) {
        changingFolder_ = true;
        const ScopeExit clear([this] { changingFolder_ = false; });
        if (linkedDriveBox_)
            linkedDriveBox_->ChangeDrive(split.Letter);
        else
            ChangeDrive(split.Letter);
    }

    TryChangeCurrentFolder(folderPath_);
    ChangeCurrentFolder(split.Folder);
    folderPath_ = GetCurrentFolder();
    BuildList();
    Change();
}

void TNewDirectoryListBox::OpenSelected() {
    const int i = ItemIndex();
    if (i >= 0) ChangeFolder(ItemFullPath(i));
}

void TNewDirectoryListBox::DrawItem(const DRAWITEMSTRUCT& dis) {
    HDC dc = dis.hDC;
    const bool selected = (dis.itemState & ODS_SELECTED) != 0;
    Brush brush(CreateSolidBrush(selected ? GetSysColor(COLOR_HIGHLIGHT) : color_));
    FillRect(dc, &dis.rcItem, brush.get());
    if (dis.itemID == static_cast<UINT>(-1)) return;
    const int index = static_cast<int>(dis.itemID);
    const TGlyph& glyph = glyphs_[ItemKind(index)];
    const int glyphWidth = glyph.Empty() ? 16 : glyph.Width();
    const int indent = ItemIndent(index);
    const int itemHeight = dis.rcItem.bottom - dis.rcItem.top;
    if (!glyph.Empty())
        glyph.Draw(dc, dis.rcItem.left + indent, dis.rcItem.top + (itemHeight - glyph.Height()) / 2, selected);
    RECT text = dis.rcItem;
    text.left += glyphWidth + indent + 4;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring w = Widen(CaseForDisplay(Item(index)));
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &text, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    if (dis.itemState & ODS_FOCUS) DrawFocusRect(dc, &dis.rcItem);
}

bool TNewDirectoryListBox::Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == LBN_DBLCLK) {
        result = 0;
        if (OnDblClick) OnDblClick();
        OpenSelected();
        return true;
    }
    // A selection change alone does not change the folder.
    return TListBox::Notify(msg, wParam, lParam, result);
}

LRESULT TNewDirectoryListBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_GETDLGCODE:
            // Enter opens the selected folder instead of pressing the default button.
            if (lParam && reinterpret_cast<MSG*>(lParam)->message == WM_KEYDOWN && wParam == VK_RETURN)
                return DLGC_WANTMESSAGE | TListBox::WndProc(msg, wParam, lParam);
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                OpenSelected();
                return 0;
            }
            break;
        case WM_SYSCOLORCHANGE:
            BuildGlyphs();
            break;
        case WM_SETFONT: {
            const LRESULT r = TListBox::WndProc(msg, wParam, lParam);
            FontChanged();
            return r;
        }
        default:
            break;
    }
    return TListBox::WndProc(msg, wParam, lParam);
}

}  // namespace qv
