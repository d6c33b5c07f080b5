// TNewDirectoryListBox: the current folder as an indented tree of its
// ancestors, followed by its sub-folders. Changing its folder changes the
// process's current folder; a failure leaves everything as it was.
#pragma once

#include <array>
#include <string>

#include "core/ui/folder_paths.h"
#include "engine/controls/glyphs.h"
#include "engine/controls/std_controls.h"

namespace qv {

class TNewDriveComboBox;

class TNewDirectoryListBox : public TListBox {
public:
    TNewDirectoryListBox();
    ~TNewDirectoryListBox() override;

    // Width 145 unless the rectangle says otherwise (0). The list is built at once.
    void Create(TWindow& parent, const TRect& r);

    const std::string& FolderPath() const { return folderPath_; }
    // Moves to another folder (see the class comment); raises EInOutError.
    void ChangeFolder(const std::string& path);
    // Moves to the current folder of drive `letter` (0: stays).
    void ChangeDrive(char letter);
    // The full path of an item; empty past the last item.
    std::string ItemFullPath(int index) const;
    TFolderKind ItemKind(int index) const;
    // The name as shown: all-capital names on case-insensitive volumes in lower case.
    std::string CaseForDisplay(const std::string& name) const;
    // The indentation of an item in pixels (4 x level + 4).
    int ItemIndent(int index) const;

    // A label (or any window) whose text always shows FolderPath.
    void SetDirLabel(HWND label);
    TNewDriveComboBox* LinkedDriveBox() const { return linkedDriveBox_; }
    bool ChangingFolder() const { return changingFolder_; }
    bool VolumeKeepsCase() const { return volumeKeepsCase_; }
    bool VolumeCaseSensitive() const { return volumeCaseSensitive_; }

    void SetColor(COLORREF color);
    const TGlyph& Glyph(TFolderKind kind) const { return glyphs_[kind]; }

    // Runs after every successful change of folder.
    TNotifyEvent OnChange;

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class TNewDriveComboBox;
    void BuildList();
    void Change();
    void OpenSelected();
    void BuildGlyphs();
    void FontChanged();
    void DrawItem(const DRAWITEMSTRUCT& dis);

    std::string folderPath_;
    HWND dirLabel_ = nullptr;
    TNewDriveComboBox* linkedDriveBox_ = nullptr;
    bool changingFolder_ = false;
    bool volumeKeepsCase_ = false;
    bool volumeCaseSensitive_ = false;
    COLORREF color_;
    std::array<TGlyph, 3> glyphs_;
};

}  // namespace qv
