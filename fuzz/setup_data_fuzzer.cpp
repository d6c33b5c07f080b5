// Loads fuzz bytes as setup data: the signature, the header block, the
// texts and every kind of record. Damage must end in ESetupSignatureError,
// EZlibDataError, EInOutError (the file ends early) or zlib's code for a
// stream that needs a preset dictionary; anything else (a crash, a sanitizer
// report, another exception, a huge allocation) is a fault of the reader.
#include <cstddef>
#include <cstdint>

#include <zlib.h>

#include "core/errors.h"
#include "core/setupdata/setup_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::MemoryInStream in({data, data + size});
    try {
        const qv::SetupData loaded = qv::LoadSetupData(in);
        // What was loaded must be what the header announced.
        const auto& h = loaded.SetupInfo;
        if (loaded.DirRecords.size() != static_cast<std::size_t>(h.DirCount) ||
            loaded.FileRecords.size() != loaded.FileLocationRecords.size() ||
            loaded.RunRecords.size() != static_cast<std::size_t>(h.RunCount))
            __builtin_trap();
    } catch (const qv::ESetupSignatureError&) {
    } catch (const qv::EZlibDataError&) {
    } catch (const qv::EInOutError&) {
    } catch (const qv::EZlibInternalError& error) {
        // zlib's own code for a stream that asks for a preset dictionary is
        // passed on as the engine shows it; any other code is unexpected.
        if (error.code() != Z_NEED_DICT) throw;
    }
    return 0;
}
