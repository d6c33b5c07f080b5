// Move-only owners of what a TDDE hands out, for callers that release it at
// scope end. Declared after the TDDE they belong to, they go before it and
// newest first: the reply's data, then the conversation, then the string
// handles.
//
//   TDDE dde;
//   dde.Create();
//   const DdeStringOwner progman = MakeStringHandle(dde, "PROGMAN");
//   const DdeConversationOwner conversation(dde.Connect(progman.get(), progman.get()));
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

#include "engine/common/win_handles.h"
#include "engine/dde/dde_client.h"

namespace qv {

namespace dde_traits {

// The access to a reply's bytes that Request opened.
struct DataAccess {
    using Handle = HDDEDATA;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DdeUnaccessData(h); }
};

}  // namespace dde_traits

using DdeConversationOwner = UniqueHConv;
using DdeDataAccessOwner = UniqueOwner<dde_traits::DataAccess>;
// Keeps the instance that made it, through which it is freed.
using DdeStringOwner = UniqueHsz;

// A string handle of `dde`; raises as TDDE::CreateStringHandle does.
inline DdeStringOwner MakeStringHandle(TDDE& dde, const std::string& text) {
    return DdeStringOwner(dde.CreateStringHandle(text), handle_traits::DdeString{dde.Inst()});
}

}  // namespace qv
