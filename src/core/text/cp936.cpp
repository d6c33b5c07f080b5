#include "core/text/cp936.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace qv::cp936 {

namespace {

constexpr int kLeadFirst = 0x81;
constexpr int kTrailFirst = 0x40;
constexpr int kTrailCount = 0xFF - kTrailFirst;  // 0x40..0xFE
constexpr char32_t kReplacement = 0xFFFD;
constexpr unsigned char kEuroByte = 0x80;
constexpr char32_t kEuro = 0x20AC;

constexpr std::size_t kPairCount = (0xFF - kLeadFirst) * kTrailCount;
// No double-byte code has this trail byte.
constexpr int kNoTrail = 0x7F;

// The standard characters; 0 where a pair names none.
const std::uint16_t kDoubleByte[] = {
#include "core/text/cp936_table.inc"
};
static_assert(sizeof kDoubleByte / sizeof kDoubleByte[0] == kPairCount);

constexpr std::size_t PairIndex(int lead, int trail) {
    return static_cast<std::size_t>((lead - kLeadFirst) * kTrailCount + (trail - kTrailFirst));
}

struct ByteArea {
    int leadFirst, leadLast, trailFirst, trailLast;
};

// Windows gives the user-defined characters private-use code points: the
// three user-defined areas first, in this order and row by row, from U+E000;
// then every other pair that names no standard character, in byte order.
// Names written with such characters must keep them, so this follows Windows.
constexpr char32_t kFirstPrivateUse = 0xE000;
constexpr ByteArea kUserDefinedAreas[] = {
    {0xAA, 0xAF, 0xA1, 0xFE},
    {0xF8, 0xFE, 0xA1, 0xFE},
    {0xA1, 0xA7, 0x40, 0xA0},
};

// Entry PairIndex(lead, trail): the UTF-16 unit of that pair, 0 for none.
const std::array<std::uint16_t, kPairCount>& DecodeTable() {
    static const auto table = [] {
        std::array<std::uint16_t, kPairCount> t{};
        std::copy(std::begin(kDoubleByte), std::end(kDoubleByte), t.begin());
        auto next = static_cast<std::uint16_t>(kFirstPrivateUse);
        // Inside the areas a code point belongs to its position, so a
        // standard character there would keep its place in the numbering.
        for (const ByteArea& area : kUserDefinedAreas)
            for (int lead = area.leadFirst; lead <= area.leadLast; ++lead)
                for (int trail = area.trailFirst; trail <= area.trailLast; ++trail) {
                    if (trail == kNoTrail) continue;
                    std::uint16_t& unit = t[PairIndex(lead, trail)];
                    if (unit == 0) unit = next;
                    ++next;
                }
        // The pairs still empty go on from there, in byte order, up to U+E864.
        for (std::size_t i = 0; i < t.size(); ++i)
            if (t[i] == 0 && kTrailFirst + static_cast<int>(i % kTrailCount) != kNoTrail) t[i] = next++;
        return t;
    }();
    return table;
}

// Sorted (code point, double-byte code) pairs for encoding, built on first use.
const std::vector<std::pair<std::uint16_t, std::uint16_t>>& EncodeTable() {
    static const auto table = [] {
        const auto& decode = DecodeTable();
        std::vector<std::pair<std::uint16_t, std::uint16_t>> t;
        t.reserve(decode.size());
        for (std::size_t i = 0; i < decode.size(); ++i) {
            if (decode[i] == 0) continue;
            const int lead = kLeadFirst + static_cast<int>(i) / kTrailCount;
            const int trail = kTrailFirst + static_cast<int>(i) % kTrailCount;
            t.emplace_back(decode[i], static_cast<std::uint16_t>(lead << 8 | trail));
        }
        // Where a code point has two byte forms, the first (lowest) one is kept.
        std::stable_sort(t.begin(), t.end(), [](auto& a, auto& b) { return a.first < b.first; });
        t.erase(std::unique(t.begin(), t.end(), [](auto& a, auto& b) { return a.first == b.first; }), t.end());
        return t;
    }();
    return table;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 character at text[i], advancing i; nullopt when invalid.
std::optional<char32_t> NextUtf8(const std::string& text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    int extra;
    char32_t c;
    if (b0 < 0x80) { ++i; return b0; }
    if ((b0 & 0xE0) == 0xC0) { extra = 1; c = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; c = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; c = b0 & 0x07; }
    else return std::nullopt;
    if (i + extra >= text.size()) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        c = c << 6 | (b & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    i += extra + 1;
    return c;
}

std::optional<std::string> Encode(const std::string& utf8, bool lossy) {
    std::string out;
    out.reserve(utf8.size());
    const auto& table = EncodeTable();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = NextUtf8(utf8, i);
        if (!c) {
            if (!lossy) return std::nullopt;
            out += '?';
            ++i;
            continue;
        }
        if (*c < 0x80) {
            out += static_cast<char>(*c);
            continue;
        }
        if (*c == kEuro) {
            out += static_cast<char>(kEuroByte);
            continue;
        }
        const auto it = *c > 0xFFFF ? table.end()
            : std::lower_bound(table.begin(), table.end(), static_cast<std::uint16_t>(*c),
                               [](auto& entry, std::uint16_t key) { return entry.first < key; });
        if (it == table.end() || it->first != *c) {
            if (!lossy) return std::nullopt;
            out += '?';
            continue;
        }
        out += static_cast<char>(it->second >> 8);
        out += static_cast<char>(it->second & 0xFF);
    }
    return out;
}

}  // namespace

std::string ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    const auto& table = DecodeTable();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else if (b == kEuroByte) {
            AppendUtf8(out, kEuro);
        } else if (IsLeadByte(b) && i + 1 < bytes.size()) {
            const unsigned char t = static_cast<unsigned char>(bytes[i + 1]);
            char32_t c = kReplacement;
            if (t >= kTrailFirst && t <= 0xFE) {
                const auto unit = table[PairIndex(b, t)];
                if (unit != 0) c = unit;
            }
            // A trail byte below 0x40 is a character of its own: keep it.
            if (t < kTrailFirst) {
                AppendUtf8(out, kReplacement);
                continue;
            }
            AppendUtf8(out, c);
            ++i;
        } else {
            AppendUtf8(out, kReplacement);
        }
    }
    return out;
}

std::optional<std::string> FromUtf8(const std::string& utf8) { return Encode(utf8, false); }

std::string FromUtf8Lossy(const std::string& utf8) { return *Encode(utf8, true); }

std::string TruncateBytes(const std::string& bytes, std::size_t limit) {
    std::size_t end = 0;
    while (end < bytes.size()) {
        const std::size_t width =
            IsLeadByte(static_cast<unsigned char>(bytes[end])) && end + 1 < bytes.size() ? 2 : 1;
        if (end + width > limit) break;
        end += width;
    }
    return bytes.substr(0, end);
}

}  // namespace qv::cp936
