// A file made anew that extract writes from its start to its end. On
// Linux it is the descriptor itself: each write goes to the system as it
// is, without the run-time library's buffer, which costs a descriptor
// query and a size query per file and splits a file written whole into
// two writes. On Windows it is the run-time library's file.
#pragma once

#include "core/io/streams.h"

namespace qv::tool {

class NewFile : public OutStream {
public:
    // Closes, raising EInOutError when the data could not be written.
    virtual void Close() = 0;
};

}  // namespace qv::tool
