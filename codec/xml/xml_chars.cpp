#include "codec/xml/xml_chars.h"

#include <expat.h>

#include <climits>
#include <cstdint>
#include <new>

#include "codec/thread_slot.h"
#include "zk_data/text/gbk.h"
#include "zk_data/text/text_convert.h"

namespace zk {
namespace {

// The parser's own verdict on a name, for names beyond ASCII. One parser per
// thread, reset for every question: creating one costs far more than a reset.
class NameProbe {
public:
    NameProbe() = default;
    NameProbe(const NameProbe&) = delete;
    NameProbe& operator=(const NameProbe&) = delete;
    ~NameProbe() {
        if (parser_) XML_ParserFree(parser_);
    }

    bool accepts(std::string_view name) {
        if (name.size() > INT_MAX - 3) return false;  // one parser call takes an int length
        if (!parser_ || !XML_ParserReset(parser_, nullptr)) {
            if (parser_) XML_ParserFree(parser_);
            parser_ = XML_ParserCreate(nullptr);
            if (!parser_) throw std::bad_alloc();
        }
        document_.assign("<");
        document_.append(name);
        document_.append("/>");
        return XML_Parse(parser_, document_.data(), static_cast<int>(document_.size()), XML_TRUE) == XML_STATUS_OK;
    }

private:
    XML_Parser parser_ = nullptr;
    ByteString document_;
};

ThreadSlot<NameProbe>& NameProbes() {
    static ThreadSlot<NameProbe> probes;
    return probes;
}

// A UTF-16 unit the reader's parser takes from a GBK pair: it refuses
// surrogates, U+FFFE, U+FFFF and the controls XML lacks.
bool IsXmlUnit(int unit) {
    if (unit < 0x20) return unit == '\t' || unit == '\n' || unit == '\r';
    return (unit < 0xD800 || unit > 0xDFFF) && unit != 0xFFFE && unit != 0xFFFF;
}

// Appends the UTF-8 form of a BMP unit.
void AppendUtf8(ByteString& out, unsigned unit) {
    char bytes[3];
    size_t n;
    if (unit < 0x80) {
        bytes[0] = static_cast<char>(unit);
        n = 1;
    } else if (unit < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | unit >> 6);
        bytes[1] = static_cast<char>(0x80 | (unit & 0x3F));
        n = 2;
    } else {
        bytes[0] = static_cast<char>(0xE0 | unit >> 12);
        bytes[1] = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (unit & 0x3F));
        n = 3;
    }
    out.append(bytes, n);
}

// The UTF-8 text the reader makes of GBK bytes: ASCII as it is, every byte
// from 0x80 up the lead of a pair. False where the parser would fail.
bool GbkAsReaderSees(std::string_view gbk, ByteString& utf8) {
    for (size_t i = 0; i < gbk.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
            continue;
        }
        if (i + 1 == gbk.size()) return false;
        int unit = GbkPairToUnit(c, static_cast<unsigned char>(gbk[++i]));
        if (unit < 0 || !IsXmlUnit(unit)) return false;
        AppendUtf8(utf8, static_cast<unsigned>(unit));
    }
    return true;
}

}  // namespace

bool IsXmlText(std::string_view s) {
    const char* p = s.data();
    size_t n = s.size();
    for (size_t i = 0;;) {
        i += XmlAsciiRun(p + i, n - i);
        if (i == n) return true;
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (c < 0x20) {
            if (c != '\t' && c != '\n' && c != '\r') return false;
            ++i;
            continue;
        }
        size_t len = XmlUtf8CharLength(p + i, n - i);
        if (!len) return false;
        i += len;
    }
}

namespace xml_detail {
// The ASCII bytes of name are name characters already.
bool IsNonAsciiXmlName(std::string_view name, bool gbk) {
    if (gbk || !IsXmlText(name)) return false;
    NameProbe* probe = NameProbes().get();
    if (!probe) throw std::bad_alloc();
    return probe->accepts(name);
}
}  // namespace xml_detail

bool Utf8ToGbkExactly(std::string_view utf8, ByteString& gbk) {
    Utf8ToGbk(utf8.data(), utf8.size(), gbk);
    ByteString back;
    return GbkAsReaderSees(gbk.view(), back) && back.view() == utf8;
}

}  // namespace zk
