// Requests whose reply is a text, read as UTF-8.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

#include "engine/dde/dde_client.h"

namespace qv {

// The text of a reply in CF_UNICODETEXT or CF_TEXT (the latter in the
// system's ANSI code page, as a server on the same system writes it). The
// text ends at its first zero or at the end of the data.
std::string DdeReplyText(const BYTE* data, DWORD size, UINT format);

// Requests `item` as text: in CF_UNICODETEXT first, so that Chinese names
// survive whatever the system's ANSI code page is; a server that does not
// process that format (the Program Manager of the old shell) is asked
// again in CF_TEXT. Failures raise as TDDE::Request does; a time-out is
// not asked again. The reply's data is released before returning.
std::string RequestText(TDDE& dde, HCONV conversation, HSZ item);

}  // namespace qv
