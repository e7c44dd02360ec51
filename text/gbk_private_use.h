// Where glibc's CP936 and Windows' code page 936 disagree, the iconv build
// follows Windows (scripts/windows.sh compares the two over every unit and
// byte pair): Windows maps the Private Use Area U+E000-U+E864 onto GBK's
// user-defined areas and a few unassigned codes, both ways, and writes
// U+F8F5 as the single byte 0xFF, which no reader takes back. glibc knows
// none of these, so iconv stops at them and the converter looks here.
#pragma once

#include <cstdint>

namespace zk::text_detail {

// count units from first map onto count codes from code on: trails trailLo to
// trailHi (0x7F excepted) of one lead, then of the next.
struct PrivateUseRun {
    char16_t first;
    uint16_t count;
    uint16_t code;
    uint8_t trailLo, trailHi;

    uint32_t perLead() const { return trailHi - trailLo + 1u - (trailLo <= 0x7F && 0x7F <= trailHi); }
    uint32_t trailIndex(uint32_t trail) const { return trail - trailLo - (trailLo <= 0x7F && trail > 0x7F); }
};

inline constexpr PrivateUseRun kPrivateUse[] = {
    {0xE000, 564, 0xAAA1, 0xA1, 0xFE}, {0xE234, 658, 0xF8A1, 0xA1, 0xFE}, {0xE4C6, 672, 0xA140, 0x40, 0xA0},
    {0xE766, 6, 0xA2AB, 0xAB, 0xB0}, {0xE76C, 2, 0xA2E3, 0xE3, 0xE4}, {0xE76E, 2, 0xA2EF, 0xEF, 0xF0},
    {0xE770, 2, 0xA2FD, 0xFD, 0xFE}, {0xE772, 11, 0xA4F4, 0xF4, 0xFE}, {0xE77D, 8, 0xA5F7, 0xF7, 0xFE},
    {0xE785, 8, 0xA6B9, 0xB9, 0xC0}, {0xE78D, 7, 0xA6D9, 0xD9, 0xDF}, {0xE794, 2, 0xA6EC, 0xEC, 0xED},
    {0xE796, 1, 0xA6F3, 0xF3, 0xF3}, {0xE797, 9, 0xA6F6, 0xF6, 0xFE}, {0xE7A0, 15, 0xA7C2, 0xC2, 0xD0},
    {0xE7AF, 13, 0xA7F2, 0xF2, 0xFE}, {0xE7BC, 11, 0xA896, 0x96, 0xA0}, {0xE7C7, 1, 0xA8BC, 0xBC, 0xBC},
    {0xE7C8, 1, 0xA8BF, 0xBF, 0xBF}, {0xE7C9, 4, 0xA8C1, 0xC1, 0xC4}, {0xE7CD, 21, 0xA8EA, 0xEA, 0xFE},
    {0xE7E2, 1, 0xA958, 0x58, 0x58}, {0xE7E3, 1, 0xA95B, 0x5B, 0x5B}, {0xE7E4, 3, 0xA95D, 0x5D, 0x5F},
    {0xE7E7, 13, 0xA989, 0x89, 0x95}, {0xE7F4, 13, 0xA997, 0x97, 0xA3}, {0xE801, 15, 0xA9F0, 0xF0, 0xFE},
    {0xE810, 5, 0xD7FA, 0xFA, 0xFE}, {0xE815, 80, 0xFE50, 0x50, 0xA0},
};

constexpr char16_t kWrittenAsFF = 0xF8F5;

// The GBK code of a unit the table maps, or 0.
inline uint16_t PrivateUseToGbk(char16_t unit) {
    for (const PrivateUseRun& run : kPrivateUse) {
        if (unit < run.first || unit >= run.first + run.count) continue;
        const uint32_t index = run.trailIndex(run.code & 0xFF) + (unit - run.first);
        const uint32_t lead = (run.code >> 8) + index / run.perLead(), at = index % run.perLead();
        const uint32_t trail = run.trailLo + at + (run.trailLo <= 0x7F && run.trailLo + at >= 0x7F);
        return static_cast<uint16_t>(lead << 8 | trail);
    }
    return 0;
}

// The unit a byte pair maps to by the table, or 0.
inline char16_t GbkToPrivateUse(uint32_t lead, uint32_t trail) {
    if (trail == 0x7F) return 0;
    for (const PrivateUseRun& run : kPrivateUse) {
        const uint32_t firstLead = run.code >> 8;
        if (lead < firstLead || trail < run.trailLo || trail > run.trailHi) continue;
        const uint32_t index = (lead - firstLead) * run.perLead() + run.trailIndex(trail);
        const uint32_t start = run.trailIndex(run.code & 0xFF);
        if (index >= start && index - start < run.count) return static_cast<char16_t>(run.first + (index - start));
    }
    return 0;
}

}  // namespace zk::text_detail
