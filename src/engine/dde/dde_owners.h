// Move-only owners of what a TDDE hands out, for callers that release it at
// scope end. Declared after the TDDE they belong to, they go before it and
// newest first: the reply's data, then the conversation, then the string
// handles.
//
//   TDDE dde;
//   dde.Create();
//   const DdeStringOwner progman(dde, "PROGMAN");
//   const DdeConversationOwner conversation(dde.Connect(progman.get(), progman.get()));
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>
#include <utility>

#include "engine/common/win_handles.h"
#include "engine/dde/dde_client.h"

namespace qv {

namespace dde_traits {

struct Conversation {
    using Handle = HCONV;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DdeDisconnect(h); }
};
// The access to a reply's bytes that Request opened.
struct DataAccess {
    using Handle = HDDEDATA;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DdeUnaccessData(h); }
};

}  // namespace dde_traits

using DdeConversationOwner = UniqueOwner<dde_traits::Conversation>;
using DdeDataAccessOwner = UniqueOwner<dde_traits::DataAccess>;

// A string handle is freed through the instance that made it, so its owner
// keeps that instance too. Once the instance is destroyed its handles are
// gone with it, and the owner's release does nothing.
class DdeStringOwner {
public:
    DdeStringOwner() noexcept = default;
    // Raises as TDDE::CreateStringHandle does.
    DdeStringOwner(TDDE& dde, const std::string& text) : dde_(&dde), handle_(dde.CreateStringHandle(text)) {}
    ~DdeStringOwner() { reset(); }
    DdeStringOwner(DdeStringOwner&& other) noexcept
        : dde_(std::exchange(other.dde_, nullptr)), handle_(std::exchange(other.handle_, nullptr)) {}
    DdeStringOwner& operator=(DdeStringOwner&& other) noexcept {
        if (this != &other) {
            reset();
            dde_ = std::exchange(other.dde_, nullptr);
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    DdeStringOwner(const DdeStringOwner&) = delete;
    DdeStringOwner& operator=(const DdeStringOwner&) = delete;

    HSZ get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void reset() noexcept {
        if (dde_) dde_->FreeStringHandle(handle_);
        dde_ = nullptr;
    }

private:
    TDDE* dde_ = nullptr;
    HSZ handle_ = nullptr;
};

}  // namespace qv
