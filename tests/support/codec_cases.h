// One format's reader and writer as the format switch runs them, in the
// short forms the codec tests state their cases in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "tests/support/printable.h"
#include "tests/support/show_tree.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

namespace zk::test {

// How Write reports a failure.
inline std::string Error(uint32_t code) { return "error " + std::to_string(code); }

// The code and the bytes of a write; a failed writer leaves what it wrote.
struct Output {
    uint32_t code;
    std::string bytes;

    bool operator==(const Output&) const = default;
};

inline void PrintTo(const Output& o, std::ostream* os) { *os << "code " << o.code << ", \"" << Printable(o.bytes) << "\""; }

// A position CheckReads does not look at.
constexpr uint32_t kUnchecked = 0xFFFFFFFE;

// One input, its code, Show of the tree left behind, and the position.
struct ReadCase {
    std::string_view text;
    uint32_t code;
    std::string_view tree;
    uint32_t pos = kUnchecked;
};

// A format with the option bits its root carries. Reading sets both on the
// target, as a host does before readFromBuffer. Writing takes the tree as it
// is when its root carries them, else a copy whose root does: tests build
// trees in the default format, and writeNode takes the format from the root.
class FormatIo {
public:
    explicit FormatIo(uint8_t format, uint32_t options = 0) : format_(format), options_(options) {}

    uint32_t Read(InputStream& in, DataNode& node) const {
        node.setFormat(format_);
        node.setOption(options_, true);
        return readNode(node, in);
    }

    // The code; pos receives the position the caller-buffer contract
    // reports on success (kNoPosition after a reader that ran into the end).
    uint32_t Read(std::string_view text, DataNode& node, uint32_t* pos = nullptr) const {
        InputStream in(text);
        uint32_t code = Read(in, node);
        if (pos) *pos = in.tell();
        return code;
    }

    Output Written(const DataNode& node) const {
        OutputStream out;
        uint32_t code;
        if (node.format() == format_ && (node.options() & options_) == options_) {
            code = writeNode(node, out);
        } else {
            DataNode root(node);
            root.setFormat(format_);
            root.setOption(options_, true);
            code = writeNode(root, out);
        }
        return {code, std::string(out.view())};
    }

    // The bytes written, or Error(code).
    std::string Write(const DataNode& node) const {
        Output out = Written(node);
        return out.code ? Error(out.code) : out.bytes;
    }

    // The writer's own code on a stream that has already failed. The writer
    // runs directly: writeNode would turn its 0 into StreamFailure and hide
    // a writer that missed the failure.
    uint32_t WriteToFailedStream(const DataNode& node) const {
        OutputStream out;
        out.setFailed();
        return CodecFor(format_).write(out, node);
    }

    // Writes tree, reads the bytes back and writes what was read: the same
    // bytes again.
    void ExpectReadsBack(const DataNode& tree) const {
        std::string bytes = Write(tree);
        DataNode back;
        ASSERT_EQ(Read(bytes, back), err::Ok) << Show(tree);
        EXPECT_EQ(Write(back), bytes) << Show(tree);
    }

    void CheckReads(std::initializer_list<ReadCase> cases, UsualKinds usual = {}) const {
        for (const ReadCase& c : cases) {
            DataNode node;
            uint32_t pos;
            EXPECT_EQ(Read(c.text, node, &pos), c.code) << c.text;
            EXPECT_EQ(Show(node, usual), c.tree) << c.text;
            if (c.pos != kUnchecked) {
                EXPECT_EQ(pos, c.pos) << c.text;
            }
        }
    }

private:
    uint8_t format_;
    uint32_t options_;
};

}  // namespace zk::test
