// Reads fuzz bytes as an uninstall log. Damage must end in
// EUninstallLogDamaged or EInOutError; a log that reads must hold the
// entries its header counts, each inside the file.
#include <cstddef>
#include <cstdint>

#include "core/errors.h"
#include "core/uninstall/uninstall_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::MemoryInStream in({data, data + size});
    try {
        const qv::UninstallLog log = qv::ReadUninstallLog(in);
        if (log.Entries.size() != log.Header.EntryCount) __builtin_trap();
        std::uint64_t previous = 0;
        for (const auto& change : log.Entries) {
            if (change.Offset < qv::TChangeFileHeader::kSize || change.Offset <= previous ||
                change.Offset + qv::TChangeEntry::kFixedSize > size)
                __builtin_trap();
            previous = change.Offset;
            // The uninstaller reads the strings of every entry it acts on.
            for (std::size_t i = 0; i < qv::StringCountOfKind(change.Entry.Kind); ++i)
                (void)qv::EntryString(change.Entry, i);
        }
    } catch (const qv::EUninstallLogDamaged&) {
    } catch (const qv::EInOutError&) {
    }
    return 0;
}
