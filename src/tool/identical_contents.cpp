#include "tool/identical_contents.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "core/errors.h"
#include "core/io/streams.h"
#include "tool/platform.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

std::unique_ptr<FileInStream> Open(const fs::path& path) {
    try {
        return std::make_unique<FileInStream>(PathToUtf8(path));
    } catch (const EInOutError& error) {
        throw IoFailure("cannot read '" + PathToUtf8(path) + "': " + error.what());
    }
}

std::uint32_t Crc32Of(const fs::path& path) {
    const auto in = Open(path);
    std::vector<std::uint8_t> buffer(kBufferSize);
    uLong crc = crc32(0, nullptr, 0);
    while (const std::size_t got = in->Read(buffer.data(), buffer.size()))
        crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
    return static_cast<std::uint32_t>(crc);
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    const auto inA = Open(a), inB = Open(b);
    if (inA->Size() != inB->Size()) return false;
    std::vector<std::uint8_t> bufferA(kBufferSize), bufferB(kBufferSize);
    for (;;) {
        const std::size_t gotA = inA->Read(bufferA.data(), kBufferSize);
        const std::size_t gotB = inB->Read(bufferB.data(), kBufferSize);
        if (gotA != gotB || std::memcmp(bufferA.data(), bufferB.data(), gotA) != 0) return false;
        if (gotA == 0) return true;
    }
}

}  // namespace

std::vector<std::size_t> FindIdenticalContents(const std::vector<fs::path>& sources) {
    std::vector<std::size_t> first(sources.size());
    std::map<std::uintmax_t, std::vector<std::size_t>> bySize;
    std::map<fs::path, std::size_t> byPath;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        first[i] = i;
        // The same path named twice is the same content without reading it.
        const fs::path normal = sources[i].lexically_normal();
        const auto [known, added] = byPath.emplace(normal, i);
        if (!added) {
            first[i] = known->second;
            continue;
        }
        std::error_code error;
        const std::uintmax_t size = fs::file_size(sources[i], error);
        if (error) throw IoFailure("cannot read '" + PathToUtf8(sources[i]) + "': " + error.message());
        bySize[size].push_back(i);
    }
    for (const auto& [size, group] : bySize) {
        if (group.size() < 2) continue;
        std::map<std::uint32_t, std::vector<std::size_t>> byCrc;
        for (std::size_t i : group) byCrc[Crc32Of(sources[i])].push_back(i);
        for (const auto& [crc, candidates] : byCrc) {
            // Each candidate joins the first earlier one it equals.
            std::vector<std::size_t> distinct;
            for (std::size_t i : candidates) {
                const auto same = std::find_if(distinct.begin(), distinct.end(),
                                               [&](std::size_t d) { return SameBytes(sources[d], sources[i]); });
                if (same == distinct.end()) distinct.push_back(i);
                else first[i] = *same;
            }
        }
    }
    // Records that named an already-seen path follow that path's representative.
    for (std::size_t i = 0; i < first.size(); ++i) first[i] = first[first[i]];
    return first;
}

}  // namespace qv::tool
