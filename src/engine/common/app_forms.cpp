#include "engine/common/app_forms.h"

#include <algorithm>

namespace qv {

namespace {
std::vector<AppForm>& Forms() {
    static std::vector<AppForm> forms;
    return forms;
}
HWND g_mainWindow = nullptr;
}  // namespace

void RegisterAppForm(HWND window, bool stayOnTop) {
    UnregisterAppForm(window);
    Forms().push_back({window, stayOnTop});
}

void UnregisterAppForm(HWND window) {
    auto& forms = Forms();
    forms.erase(std::remove_if(forms.begin(), forms.end(), [&](const AppForm& f) { return f.Window == window; }),
                forms.end());
    if (g_mainWindow == window) g_mainWindow = nullptr;
}

void SetAppFormStayOnTop(HWND window, bool stayOnTop) {
    for (auto& f : Forms())
        if (f.Window == window) f.StayOnTop = stayOnTop;
}

const std::vector<AppForm>& AppForms() { return Forms(); }

HWND AppMainWindow() { return g_mainWindow; }
void SetAppMainWindow(HWND window) { g_mainWindow = window; }

}  // namespace qv
