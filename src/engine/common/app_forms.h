// The application's top-level forms in creation order. The message box
// disables them while it is shown; the background window hides and shows
// its child forms on minimise and restore.
#pragma once

#include <windows.h>

#include <vector>

namespace qv {

struct AppForm {
    HWND Window;
    bool StayOnTop;  // the form keeps itself in the top-most band
};

void RegisterAppForm(HWND window, bool stayOnTop = false);
void UnregisterAppForm(HWND window);
void SetAppFormStayOnTop(HWND window, bool stayOnTop);
const std::vector<AppForm>& AppForms();

// The application's main window (the background window), or null.
HWND AppMainWindow();
void SetAppMainWindow(HWND window);

}  // namespace qv
