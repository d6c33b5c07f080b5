// Owners of Win32 handles (core/unique_owner.h): one line for each kind the
// engine holds that closes with one function, traits for those given back
// through something else, and the few owners that are not a handle (ComPtr, the error mode, COM on a thread). The GDI owners are in
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

// A string handle is freed through the instance that created it. Free it
// before that instance ends: DdeUninitialize takes its strings with it.
struct DdeString {
    using Handle = HSZ;
    DWORD Instance = 0;
    static Handle Empty() noexcept { return nullptr; }
    void Close(Handle h) const noexcept { DdeFreeStringHandle(Instance, h); }
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

// Files from CreateFile are empty at INVALID_HANDLE_VALUE; processes,
// threads, events and pipes at null.
using UniqueHFile = UniqueAny<HANDLE, CloseHandle, -1>;
using UniqueHandle = UniqueAny<HANDLE, CloseHandle>;
using UniqueFindHandle = UniqueAny<HANDLE, FindClose, -1>;
using UniqueHKey = UniqueAny<HKEY, RegCloseKey>;
using UniqueScHandle = UniqueAny<SC_HANDLE, CloseServiceHandle>;
using UniqueHModule = UniqueAny<HMODULE, FreeLibrary>;
using UniqueHWnd = UniqueAny<HWND, DestroyWindow>;
// A DDEML instance from DdeInitializeW (through put()): an identifier, 0 for none.
using UniqueDdeInstance = UniqueAny<DWORD, DdeUninitialize>;
using UniqueHConv = UniqueAny<HCONV, DdeDisconnect>;
using UniqueHsz = UniqueOwner<handle_traits::DdeString>;
// The data handle of a synchronous request's reply, which belongs to the
// client. Not for the TRUE that other transactions return.
using UniqueDdeData = UniqueAny<HDDEDATA, DdeFreeDataHandle>;
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
