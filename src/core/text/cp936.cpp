#include "core/text/cp936.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/text/utf8.h"

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

// The standard characters, pair by pair in byte order (lead 0x81..0xFE,
// trail 0x40..0xFE), each told by its change from the UTF-16 unit of the
// last pair that names a character, starting from 0. Most pairs are the
// next ideograph but a few in code point order and take one byte, and
// their runs one byte for many, where a plain table would take two bytes
// for every pair, named or not:
//
//   0x00             the pair names no character
//   0x01..0x7F       the last unit plus this
//   0x80..0xBF, b    the last unit plus ((first & 0x3F) << 8 | b) - 0x2000
//   0xC0, hi, lo     the unit hi << 8 | lo
//   0xC1..0xE7       2..40 pairs, each the last unit plus one
//   0xE8..0xFF       2..25 pairs that name no character
constexpr unsigned char kStandardCodes[] = {
#include "core/text/cp936_table.inc"
};
constexpr unsigned char kAbsoluteCode = 0xC0;
constexpr unsigned char kRunFirst = 0xC1;
constexpr unsigned char kGapFirst = 0xE8;

// The width of the code that starts with `first`.
constexpr std::size_t CodeWidth(unsigned char first) {
    return first < 0x80 ? 1 : first < kAbsoluteCode ? 2 : first == kAbsoluteCode ? 3 : 1;
}
// The pairs that code tells.
constexpr std::size_t CodePairs(unsigned char first) {
    return first < kRunFirst ? 1 : first < kGapFirst ? first - kRunFirst + 2 : first - kGapFirst + 2;
}

constexpr std::size_t CodedPairs() {
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < sizeof kStandardCodes; i += CodeWidth(kStandardCodes[i]))
        pairs += CodePairs(kStandardCodes[i]);
    return pairs;
}
// Every pair has its code, and the last code is whole.
static_assert(CodedPairs() == kPairCount);

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

// The standard characters read into `t`, entry PairIndex(lead, trail).
// Not constexpr, nor called in a constant expression: the compiler would
// then put the whole table into the program instead of the codes.
void ReadStandardCodes(std::array<std::uint16_t, kPairCount>& t) {
    std::uint16_t last = 0;
    for (std::size_t code = 0, pair = 0; pair < kPairCount; code += CodeWidth(kStandardCodes[code])) {
        const unsigned char first = kStandardCodes[code];
        if (first == 0 || first >= kGapFirst) {
            pair += CodePairs(first);
            continue;
        }
        if (first >= kRunFirst) {
            for (std::size_t n = CodePairs(first); n > 0; --n) t[pair++] = ++last;
            continue;
        }
        if (first < 0x80)
            last = static_cast<std::uint16_t>(last + first);
        else if (first < kAbsoluteCode)
            last = static_cast<std::uint16_t>(last + ((first & 0x3F) << 8 | kStandardCodes[code + 1]) - 0x2000);
        else
            last = static_cast<std::uint16_t>(kStandardCodes[code + 1] << 8 | kStandardCodes[code + 2]);
        t[pair++] = last;
    }
}

// Entry PairIndex(lead, trail): the UTF-16 unit of that pair, 0 for none.
const std::array<std::uint16_t, kPairCount>& DecodeTable() {
    static const auto table = [] {
        std::array<std::uint16_t, kPairCount> t{};
        ReadStandardCodes(t);
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

std::optional<std::string> Encode(const std::string& utf8, bool lossy) {
    std::string out;
    out.reserve(utf8.size());
    const auto& table = EncodeTable();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = utf8::Next(utf8, i);
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
            utf8::Append(out, kEuro);
        } else if (IsLeadByte(b) && i + 1 < bytes.size()) {
            const unsigned char t = static_cast<unsigned char>(bytes[i + 1]);
            char32_t c = kReplacement;
            if (t >= kTrailFirst && t <= 0xFE) {
                const auto unit = table[PairIndex(b, t)];
                if (unit != 0) c = unit;
            }
            // A trail byte below 0x40 is a character of its own: keep it.
            if (t < kTrailFirst) {
                utf8::Append(out, kReplacement);
                continue;
            }
            utf8::Append(out, c);
            ++i;
        } else {
            utf8::Append(out, kReplacement);
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
