// The stand-in Program Manager's DDE side. Like the Program Manager itself
// it speaks the DDE message protocol directly rather than through the DDE
// management library: a hidden top-level window answers WM_DDE_INITIATE
// for the service and topic "PROGMAN", and each conversation gets a window
// of its own that takes WM_DDE_EXECUTE, WM_DDE_REQUEST and
// WM_DDE_TERMINATE. Every transaction is recorded before it is answered.
//
// Speaking the protocol directly keeps the record exact: the command
// bytes are what the client's library put on the wire, with no
// conversion or guessing on this side. Its windows are Unicode or, for
// Behaviour::AnsiWindows, ANSI ones, and the client's library converts a
// command to suit them, as it does for the old shell's Program Manager.
//
// The window that answers WM_DDE_INITIATE is topmost, so that it hears a
// broadcast before any other server of "PROGMAN" (Wine's desktop shell
// serves one too) and its answer is the one the client keeps.
#pragma once

#include <windows.h>

#include <string>

#include "progman/program_manager.h"
#include "progman/stand_in_files.h"

namespace qv::progman {

class StandInServer {
public:
    // `folder` holds the three files of stand_in_files.h.
    explicit StandInServer(std::string folder);
    ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    // Begins a session from the control file: an empty record, its groups,
    // its behaviour, and windows of the kind it asks for.
    void Reset();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Initiate(HWND client, ATOM service, ATOM topic);
    void Execute(HWND conversation, HWND client, HGLOBAL commands);
    void Request(HWND conversation, HWND client, UINT format, ATOM item);
    void Refuse(HWND conversation, HWND client, UINT message, LPARAM lParam);
    void Terminate(HWND conversation, HWND client);

    HWND MakeWindow(bool topmost) const;
    void Record(const Transaction& transaction);
    void SaveGroups();
    std::string File(const char* name) const { return folder_ + "\\" + name; }

    std::string folder_;
    HWND initiateWindow_ = nullptr;
    bool ansi_ = false;
    Behaviour behaviour_;
    ProgramManager manager_;
};

}  // namespace qv::progman
