// Bounds shared by the codecs.
#pragma once

#include <cstdint>

namespace zk {

// Deepest nesting any recursive reader or writer follows. Each level costs a
// few hundred bytes of machine stack at most, so 1000 levels stay far inside
// a 1 MiB thread stack while being far beyond any real document. Reaching the
// bound is a clean failure with the format's own code: the syntax code for
// text readers (JSON err::TextSyntax, bencode err::BencodeSyntax), the XML
// reader's err::XmlParse, and err::Unsupported (a tree the codec cannot
// handle) for writers and for binary templates.
constexpr uint32_t kMaxDepth = 1000;

}  // namespace zk
