// A move-only owner of one handle of any kind: a file, a registry key, a
// GDI object, a device context, a DDE string, a selection of an object into
// a device context... The traits say what the handle is, which value means
// "none", and how to give it back:
//
//   struct File {
//       using Handle = HANDLE;
//       static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
//       static void Close(Handle h) noexcept { CloseHandle(h); }
//   };
//   using UniqueHFile = UniqueOwner<File>;
//
// Keying the owner on its traits keeps handles that look alike apart (a file
// handle, empty at INVALID_HANDLE_VALUE, and an event handle, empty at
// null), and copying an owner does not compile.
//
// A handle that is given back through something else (a device context
// released to the window it came from, a string handle freed through its
// DDE instance, an old object selected back into the same device context)
// has traits with data members and a non-static Close; the owner keeps
// those traits beside the handle and moves them with it:
//
//   struct WindowDC {
//       using Handle = HDC;
//       HWND Window = nullptr;
//       static Handle Empty() noexcept { return nullptr; }
//       void Close(Handle dc) const noexcept { ReleaseDC(Window, dc); }
//   };
//   UniqueOwner<WindowDC> dc(GetDC(window), WindowDC{window});
//
// Traits without data take no room: the owner of a plain handle is the size
// of the handle. Close must not throw; it runs during unwinding too.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace qv {

template <typename Traits>
class UniqueOwner {
public:
    using Handle = typename Traits::Handle;

    UniqueOwner() noexcept = default;
    explicit UniqueOwner(Handle handle) noexcept : held_(handle, Traits{}) {}
    UniqueOwner(Handle handle, Traits traits) noexcept : held_(handle, std::move(traits)) {}
    ~UniqueOwner() { reset(); }
    UniqueOwner(UniqueOwner&& other) noexcept : held_(other.held_.handle, std::move(other.mutable_traits())) {
        other.held_.handle = Traits::Empty();
    }
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) {
            reset();
            mutable_traits() = std::move(other.mutable_traits());
            held_.handle = other.release();
        }
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    Handle get() const noexcept { return held_.handle; }
    bool valid() const noexcept { return held_.handle != Traits::Empty(); }
    explicit operator bool() const noexcept { return valid(); }
    // What the handle is given back through (the window of a device context...).
    const Traits& traits() const noexcept { return held_; }

    // Gives up ownership without closing.
    Handle release() noexcept { return std::exchange(held_.handle, Traits::Empty()); }
    // Closes the handle held (with the traits held) and takes `handle`,
    // which is given back through the same traits.
    void reset(Handle handle = Traits::Empty()) noexcept {
        const Handle old = std::exchange(held_.handle, handle);
        if (old != Traits::Empty()) held_.Close(old);
    }
    // For APIs that return the handle through a pointer; closes the old one first.
    Handle* put() noexcept {
        reset();
        return &held_.handle;
    }

protected:
    // For an owner whose traits are filled in only after construction,
    // like BeginPaint's PAINTSTRUCT.
    Traits& mutable_traits() noexcept { return held_; }

private:
    // The traits as a base, so that traits without data take no room.
    struct Held : Traits {
        Held() = default;
        Held(Handle h, Traits traits) noexcept : Traits(std::move(traits)), handle(h) {}
        Handle handle = Traits::Empty();
    };
    Held held_;
};

// The traits of a handle that is given back by one function of its own and
// needs nothing else to do it, so that its owner is one line:
//
//   using UniqueHFile = UniqueAny<HANDLE, CloseHandle, -1>;
//
// The empty value is a number because a pointer constant such as
// INVALID_HANDLE_VALUE cannot be a template argument; it is part of the
// owner's type, so owners that close alike but are empty at different
// values stay apart.
template <typename H, auto CloseFunction, std::intptr_t EmptyValue = 0>
struct PlainHandleTraits {
    using Handle = H;
    static Handle Empty() noexcept {
        if constexpr (std::is_pointer_v<H>)
            return reinterpret_cast<H>(EmptyValue);
        else
            return static_cast<H>(EmptyValue);
    }
    static void Close(Handle h) noexcept { CloseFunction(h); }
};

template <typename H, auto CloseFunction, std::intptr_t EmptyValue = 0>
using UniqueAny = UniqueOwner<PlainHandleTraits<H, CloseFunction, EmptyValue>>;

}  // namespace qv
