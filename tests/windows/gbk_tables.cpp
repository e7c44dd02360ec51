// Prints how this build converts GBK, one line a character, so that the
// Linux build (iconv's CP936) and the Windows build (the platform's code page
// 936) can be compared line by line (scripts/windows.sh):
//   u XXXX BYTES   each BMP unit from U+0080 up, surrogates aside, and its GBK
//                  bytes in hex ("3f" when it has no GBK form)
//   g XXXX UNIT    each byte pair (leads 0x81-0xFE, trails 0x40-0xFE) and the
//                  unit it reads as, or "-" when it is not valid
//   b XX UNITS     each byte from 0x80 up, read alone
#include <cstdio>
#include <string>

#include "zk_data/text/byte_string.h"
#include "zk_data/text/gbk.h"

int main() {
    zk::ByteString bytes;
    for (unsigned u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        const char16_t unit = static_cast<char16_t>(u);
        zk::WideToGbk(&unit, 1, bytes);
        std::printf("u %04X ", u);
        for (char c : bytes.view()) std::printf("%02x", static_cast<unsigned char>(c));
        std::printf("\n");
    }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            int unit = zk::GbkPairToUnit(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (unit < 0) std::printf("g %02X%02X -\n", lead, trail);
            else std::printf("g %02X%02X %04X\n", lead, trail, static_cast<unsigned>(unit));
        }
    std::u16string units;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const char byte = static_cast<char>(b);
        zk::GbkToWide(&byte, 1, units);
        std::printf("b %02X", b);
        for (char16_t c : units) std::printf(" %04X", static_cast<unsigned>(c));
        std::printf("\n");
    }
    return 0;
}
