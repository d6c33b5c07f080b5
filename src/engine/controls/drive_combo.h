// TNewDriveComboBox: a drop-down list of the drives, each with its picture
// and its label (or, for a network drive, the remote name).
#pragma once

#include <array>

#include "engine/controls/glyphs.h"
#include "engine/controls/std_controls.h"

namespace qv {

class TNewDirectoryListBox;

enum TNewTextCase { tcLowerCase = 0, tcUpperCase = 1 };

// Drive kinds, also the index of their glyph.
enum TDriveKind : int { dkFloppy = 0, dkHard = 1, dkNetwork = 2, dkCDROM = 3, dkRAM = 4 };

class TNewDriveComboBox : public TComboBox {
public:
    TNewDriveComboBox();
    ~TNewDriveComboBox() override;

    // The list is built and the drive of the current folder selected at once.
    void Create(TWindow& parent, const TRect& r);

    char DriveLetter() const { return driveLetter_; }
    void ChangeDrive(char letter);
    TNewTextCase TextCase() const { return textCase_; }
    void SetTextCase(TNewTextCase textCase);
    TNewDirectoryListBox* DirList() const { return dirList_; }
    void SetDirList(TNewDirectoryListBox* list);
    TDriveKind ItemKind(int index) const;

    void SetColor(COLORREF color);
    const TGlyph& Glyph(TDriveKind kind) const { return glyphs_[kind]; }

    // OnChange (of TComboBox) runs after every change of drive, after the
    // linked list has followed.

protected:
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class TNewDirectoryListBox;
    void BuildList();
    void BuildGlyphs();
    void FontChanged();
    void Click();
    void DrawItem(const DRAWITEMSTRUCT& dis);

    char driveLetter_ = 0;
    TNewTextCase textCase_ = tcLowerCase;
    TNewDirectoryListBox* dirList_ = nullptr;
    COLORREF color_;
    std::array<TGlyph, 5> glyphs_;
};

// The item text of a drive: "c: system", "a:", "f: \\server\share".
// Exposed for tests; reads the drive's type, label or remote name.
struct TDriveItem {
    std::string Text;
    TDriveKind Kind;
};
TDriveItem DescribeDrive(char letter, TNewTextCase textCase);

}  // namespace qv
