// Reads fuzz bytes as a downloaded program: its PE headers, the locator
// after its sections and the payload it names, and as an engine for a
// build. Whatever the bytes, a payload that is Found lies whole inside the
// file with its setup data first and its file data within it; an engine
// image ends where its sections do.
#include <cstddef>
#include <cstdint>

#include "core/errors.h"
#include "core/setupdata/program_payload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::MemoryInStream in({data, data + size});
    try {
        const qv::PayloadSearch found = qv::FindProgramPayload(in);
        if (found.State == qv::PayloadState::Found) {
            const qv::PayloadLocator& l = found.Locator;
            if (l.PayloadEnd() > size || l.PayloadOffset != found.Image.ImageEnd + qv::kLocatorSize ||
                static_cast<std::uint64_t>(l.SetupDataOffset) != l.PayloadOffset ||
                static_cast<std::uint64_t>(l.FileDataOffset) > l.PayloadEnd())
                __builtin_trap();
            (void)qv::PayloadIsIntact(in, l);
        }
    } catch (const qv::EInOutError&) {
        __builtin_trap();  // every read stays inside the bytes it was given
    }
    qv::EngineImage image;
    if (qv::MakeEngineImage({data, data + size}, image) == qv::EngineProblem::None &&
        (image.Bytes.size() != image.Layout.ImageEnd || image.Bytes.size() > size))
        __builtin_trap();
    return 0;
}
