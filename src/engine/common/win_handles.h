// Owners of Win32 handles: the traits of UniqueOwner (core/unique_owner.h)
// for each kind of handle the engine holds, and the few owners that are not
// a handle (ComPtr, the error mode, COM on a thread). The GDI owners are in
// controls/gdi.h, beside the drawing code that uses them.
#pragma once

#include <windows.h>
#include <ddeml.h>
#include <objbase.h>
#include <shtypes.h>

#include <utility>

#include "core/unique_owner.h"

namespace qv {

namespace handle_traits {

// Files from CreateFile: empty at INVALID_HANDLE_VALUE.
struct File {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};
// Processes, threads, events, pipes...: empty at NULL.
struct Kernel {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};
struct Find {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { FindClose(h); }
};
struct RegKey {
    using Handle = HKEY;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { RegCloseKey(h); }
};
struct ServiceManager {
    using Handle = SC_HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { CloseServiceHandle(h); }
};
struct Library {
    using Handle = HMODULE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { FreeLibrary(h); }
};
struct Window {
    using Handle = HWND;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DestroyWindow(h); }
};

// A DDEML instance from DdeInitializeW (through put()): an identifier, 0 for none.
struct DdeInstance {
    using Handle = DWORD;
    static Handle Empty() noexcept { return 0; }
    static void Close(Handle h) noexcept { DdeUninitialize(h); }
};
struct DdeConversation {
    using Handle = HCONV;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DdeDisconnect(h); }
};
// A string handle is freed through the instance that created it. Free it
// before that instance ends: DdeUninitialize takes its strings with it.
struct DdeString {
    using Handle = HSZ;
    DWORD Instance = 0;
    static Handle Empty() noexcept { return nullptr; }
    void Close(Handle h) const noexcept { DdeFreeStringHandle(Instance, h); }
};
// The data handle of a synchronous request's reply, which belongs to the
// client. Not for the TRUE that other transactions return.
struct DdeData {
    using Handle = HDDEDATA;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DdeFreeDataHandle(h); }
};

// COM on this thread. The handle is whether CoInitializeEx succeeded
// (S_FALSE, "already initialised", included): only then is it balanced by
// CoUninitialize. See InitializeCom.
struct ComApartment {
    using Handle = bool;
    static Handle Empty() noexcept { return false; }
    static void Close(Handle) noexcept { CoUninitialize(); }
};
// An item list that the shell allocated (SHBrowseForFolder,
// SHGetSpecialFolderLocation...), freed through the shell's allocator from
// SHGetMalloc. Without one, the task allocator frees it: it is the same heap.
struct ShellItemList {
    using Handle = LPITEMIDLIST;
    IMalloc* Allocator = nullptr;
    static Handle Empty() noexcept { return nullptr; }
    void Close(Handle h) const noexcept {
        if (Allocator)
            Allocator->Free(h);
        else
            CoTaskMemFree(h);
    }
};

}  // namespace handle_traits

using UniqueHFile = UniqueOwner<handle_traits::File>;
using UniqueHandle = UniqueOwner<handle_traits::Kernel>;
using UniqueFindHandle = UniqueOwner<handle_traits::Find>;
using UniqueHKey = UniqueOwner<handle_traits::RegKey>;
using UniqueScHandle = UniqueOwner<handle_traits::ServiceManager>;
using UniqueHModule = UniqueOwner<handle_traits::Library>;
using UniqueHWnd = UniqueOwner<handle_traits::Window>;
using UniqueDdeInstance = UniqueOwner<handle_traits::DdeInstance>;
using UniqueHConv = UniqueOwner<handle_traits::DdeConversation>;
using UniqueHsz = UniqueOwner<handle_traits::DdeString>;
using UniqueDdeData = UniqueOwner<handle_traits::DdeData>;
using ComInitialization = UniqueOwner<handle_traits::ComApartment>;
using UniqueItemList = UniqueOwner<handle_traits::ShellItemList>;

// COM for a scope of this thread; false (and nothing to balance) when it does
// not start, for one when the thread runs COM in another threading model.
inline ComInitialization InitializeCom(DWORD model = COINIT_APARTMENTTHREADED) noexcept {
    return ComInitialization(SUCCEEDED(CoInitializeEx(nullptr, model)));
}

// A string handle of `instance`; empty when DDEML refuses it.
inline UniqueHsz MakeDdeString(DWORD instance, const wchar_t* text) noexcept {
    return UniqueHsz(instance != 0 ? DdeCreateStringHandleW(instance, text, CP_WINUNICODE) : nullptr,
                     handle_traits::DdeString{instance});
}

// Sets the process error mode for a scope and restores the previous one.
class ScopedErrorMode {
public:
    explicit ScopedErrorMode(UINT mode) noexcept : previous_(SetErrorMode(mode)) {}
    ~ScopedErrorMode() { SetErrorMode(previous_); }
    ScopedErrorMode(const ScopedErrorMode&) = delete;
    ScopedErrorMode& operator=(const ScopedErrorMode&) = delete;

private:
    UINT previous_;
};

// Releases a COM interface pointer. Move-only, like the handle owners: a
// copy would need an AddRef that nothing here wants.
template <typename Interface>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* get() const noexcept { return p_; }
    Interface* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    Interface** put() noexcept {
        reset();
        return &p_;
    }
    void reset() noexcept {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    Interface* p_ = nullptr;
};

}  // namespace qv
