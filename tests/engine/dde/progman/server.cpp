#include "progman/server.h"

#include <dde.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "engine/common/win_text.h"

namespace qv::progman {

namespace {

// The one server of this process, for the window procedure.
StandInServer* g_server = nullptr;

const wchar_t kUnicodeClass[] = L"QvProgmanStandInW";
const char kAnsiClass[] = "QvProgmanStandInA";
constexpr WORD kAcknowledged = 0x8000;  // DDEACK.fAck

std::string AtomName(ATOM atom) {
    if (!atom) return {};
    wchar_t name[256];
    const UINT n = GlobalGetAtomNameW(atom, name, 256);
    return Narrow(name, n);
}

std::string EncodeReply(const std::string& text, UINT format) {
    const std::wstring wide = Widen(text);
    if (format == CF_UNICODETEXT)
        return std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * sizeof(wchar_t));
    std::string ansi(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                                                  nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                        static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi + '\0';
}

bool Named(const std::vector<std::string>& list, const std::vector<std::string>& names) {
    for (const std::string& entry : list) {
        if (entry == "*") return true;
        for (const std::string& name : names)
            if (SameName(entry, name)) return true;
    }
    return false;
}

// The answer to an initiate names the service and topic in new atoms,
// which the client deletes.
LPARAM ProgmanAtoms() { return MAKELPARAM(GlobalAddAtomW(L"PROGMAN"), GlobalAddAtomW(L"PROGMAN")); }

}  // namespace

StandInServer::StandInServer(std::string folder) : folder_(std::move(folder)) {
    g_server = this;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW unicodeClass{};
    unicodeClass.cbSize = sizeof unicodeClass;
    unicodeClass.lpfnWndProc = WindowProc;
    unicodeClass.hInstance = instance;
    unicodeClass.lpszClassName = kUnicodeClass;
    WNDCLASSEXA ansiClass{};
    ansiClass.cbSize = sizeof ansiClass;
    ansiClass.lpfnWndProc = WindowProc;
    ansiClass.hInstance = instance;
    ansiClass.lpszClassName = kAnsiClass;
    if (!RegisterClassExW(&unicodeClass) || !RegisterClassExA(&ansiClass))
        throw std::runtime_error("cannot register the window classes");
}

StandInServer::~StandInServer() {
    if (initiateWindow_) DestroyWindow(initiateWindow_);
    g_server = nullptr;
}

HWND StandInServer::MakeWindow(bool topmost) const {
    const DWORD exStyle = topmost ? WS_EX_TOPMOST : 0;
    const HWND window =
        ansi_ ? CreateWindowExA(exStyle, kAnsiClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr)
              : CreateWindowExW(exStyle, kUnicodeClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!window) throw std::runtime_error("cannot create a window: " + std::to_string(GetLastError()));
    return window;
}

void StandInServer::Reset() {
    const Control control = ReadControl(ReadWholeFile(File(kControlFile)));
    WriteWholeFile(File(kTransactionsFile), "");
    if (!initiateWindow_ || ansi_ != control.Behave.AnsiWindows) {
        if (initiateWindow_) DestroyWindow(initiateWindow_);
        initiateWindow_ = nullptr;
        ansi_ = control.Behave.AnsiWindows;
        initiateWindow_ = MakeWindow(true);
    }
    behaviour_ = control.Behave;
    manager_.Reset(control.Groups);
    SaveGroups();
}

void StandInServer::Record(const Transaction& transaction) {
    AppendToFile(File(kTransactionsFile), WriteTransaction(transaction));
}

void StandInServer::SaveGroups() { WriteWholeFile(File(kGroupsFile), WriteGroups(manager_.Groups())); }

LRESULT CALLBACK StandInServer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_server && message >= WM_DDE_FIRST && message <= WM_DDE_LAST) {
        try {
            return g_server->Handle(window, message, wParam, lParam);
        } catch (const std::exception& error) {
            // Nothing may unwind through user32; a broken stand-in ends
            // loudly rather than answering wrongly.
            std::fprintf(stderr, "progman stand-in: %s\n", error.what());
            ExitProcess(3);
        }
    }
    return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                   : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT StandInServer::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND client = reinterpret_cast<HWND>(wParam);
    if (window == initiateWindow_) {
        if (message == WM_DDE_INITIATE) Initiate(client, LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    switch (message) {
    case WM_DDE_EXECUTE: Execute(window, client, reinterpret_cast<HGLOBAL>(lParam)); break;
    case WM_DDE_REQUEST: Request(window, client, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_DDE_TERMINATE: Terminate(window, client); break;
    case WM_DDE_ADVISE:
    case WM_DDE_UNADVISE:
    case WM_DDE_POKE: Refuse(window, client, message, lParam); break;
    default: break;
    }
    return 0;
}

void StandInServer::Initiate(HWND client, ATOM service, ATOM topic) {
    Transaction t;
    t.Kind = "connect";
    t.Service = AtomName(service);
    t.Topic = AtomName(topic);
    // Every initiate is broadcast to every server; only ours are recorded.
    if (service && !SameName(t.Service, "PROGMAN")) return;
    const bool topicServed = !topic || SameName(t.Topic, "PROGMAN");
    const bool accepted = topicServed && !behaviour_.RefuseConnect;
    t.Outcome = accepted ? "accepted" : "refused";
    Record(t);
    if (accepted) {
        SendMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(MakeWindow(false)), ProgmanAtoms());
    } else if (topicServed) {
        // An answer without a conversation window: the client takes it as
        // the first answer, finds no server in it and drops the answers of
        // other servers of "PROGMAN", as if none were running. The answer
        // names another service, so that the half-made conversation it
        // leaves in the client stands in the way of no later connect to
        // "PROGMAN"; the terminate that follows ends it when the client
        // next reads its messages, so that it holds up nothing either.
        SendMessageW(client, WM_DDE_ACK, 0,
                     MAKELPARAM(GlobalAddAtomW(L"QV-NO-PROGMAN"), GlobalAddAtomW(L"QV-NO-PROGMAN")));
        PostMessageW(client, WM_DDE_TERMINATE, 0, 0);
    }
}

void StandInServer::Execute(HWND conversation, HWND client, HGLOBAL commands) {
    Transaction t;
    t.Kind = "execute";
    t.AnsiText = ansi_;
    if (const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(commands))) {
        t.Bytes.assign(bytes, bytes + GlobalSize(commands));
        GlobalUnlock(commands);
    }
    const auto parsed = ParseCommands(CommandText(t));
    std::vector<std::string> names;
    if (parsed)
        for (const Command& command : *parsed) names.push_back(command.Name);
    if (Named(behaviour_.Hold, names)) {
        // Never answered: the client gives up after its time-out.
        t.Outcome = "held";
        Record(t);
        return;
    }
    const bool processed = parsed && manager_.Execute(*parsed, behaviour_.Reject);
    SaveGroups();
    t.Outcome = processed ? "processed" : "rejected";
    Record(t);
    PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(conversation),
                 PackDDElParam(WM_DDE_ACK, processed ? kAcknowledged : 0, reinterpret_cast<UINT_PTR>(commands)));
}

void StandInServer::Request(HWND conversation, HWND client, UINT format, ATOM item) {
    Transaction t;
    t.Kind = "request";
    t.Item = AtomName(item);
    t.Format = format;
    if (Named(behaviour_.Hold, {t.Item})) {
        t.Outcome = "held";
        Record(t);
        return;
    }
    const bool known = format == CF_TEXT || (format == CF_UNICODETEXT && !behaviour_.TextRequestsOnly);
    const std::optional<std::string> text =
        known && !Named(behaviour_.Reject, {t.Item}) ? manager_.Describe(t.Item) : std::nullopt;
    t.Outcome = text ? "answered" : "rejected";
    Record(t);
    const WPARAM from = reinterpret_cast<WPARAM>(conversation);
    if (!text) {
        PostMessageW(client, WM_DDE_ACK, from, PackDDElParam(WM_DDE_ACK, 0, item));
        return;
    }
    const std::string bytes = EncodeReply(*text, format);
    const HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, offsetof(DDEDATA, Value) + bytes.size());
    auto* reply = static_cast<DDEDATA*>(GlobalLock(data));
    if (!reply) throw std::runtime_error("out of memory for a reply");
    reply->fResponse = 1;  // in answer to a request
    reply->fRelease = 1;   // the client frees it
    reply->fAckReq = 0;
    reply->cfFormat = static_cast<short>(format);
    std::memcpy(reply->Value, bytes.data(), bytes.size());
    GlobalUnlock(data);
    if (!PostMessageW(client, WM_DDE_DATA, from, PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(data), item)))
        GlobalFree(data);
}

void StandInServer::Refuse(HWND conversation, HWND client, UINT message, LPARAM lParam) {
    UINT_PTR low = LOWORD(lParam), item = HIWORD(lParam);
    if (message != WM_DDE_UNADVISE) {
        UnpackDDElParam(message, lParam, &low, &item);
        FreeDDElParam(message, lParam);
    }
    PostMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(conversation), PackDDElParam(WM_DDE_ACK, 0, item));
}

void StandInServer::Terminate(HWND conversation, HWND client) {
    Transaction t;
    t.Kind = "disconnect";
    Record(t);
    PostMessageW(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(conversation), 0);
    DestroyWindow(conversation);
}

}  // namespace qv::progman
