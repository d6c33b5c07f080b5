// Move-only owners for Win32 handles. Each owner is keyed on its closing
// function and its empty value, so that a file handle (empty at
// INVALID_HANDLE_VALUE) and an event or process handle (empty at NULL)
// cannot be mixed up, and copying an owner does not compile.
#pragma once

#include <windows.h>

#include <utility>

namespace qv {

template <typename Traits>
class UniqueOwner {
public:
    using Handle = typename Traits::Handle;

    UniqueOwner() noexcept = default;
    explicit UniqueOwner(Handle handle) noexcept : handle_(handle) {}
    ~UniqueOwner() { reset(); }
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != Traits::Empty(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    Handle release() noexcept { return std::exchange(handle_, Traits::Empty()); }
    void reset(Handle handle = Traits::Empty()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::Empty()) Traits::Close(old);
    }
    // For APIs that return the handle through a pointer; closes the old one first.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Empty();
};

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

}  // namespace handle_traits

using UniqueHFile = UniqueOwner<handle_traits::File>;
using UniqueHandle = UniqueOwner<handle_traits::Kernel>;
using UniqueFindHandle = UniqueOwner<handle_traits::Find>;
using UniqueHKey = UniqueOwner<handle_traits::RegKey>;
using UniqueScHandle = UniqueOwner<handle_traits::ServiceManager>;
using UniqueHModule = UniqueOwner<handle_traits::Library>;
using UniqueHWnd = UniqueOwner<handle_traits::Window>;

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

// Releases a COM interface pointer.
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
