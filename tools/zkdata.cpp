// zkdata: reads a value tree in one of the library's formats and writes it
// in another, so that bytes can be looked at and converted without writing a
// program. docs/cli.md is its manual.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "codec/write_preparation.h"
#include "tools/format_setting.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_names.h"
#include "zk_data/codec/format_switch.h"
#include "zk_data/value/version.h"

namespace {

using namespace zk;

constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2;

const char kHelp[] =
    "Usage: zkdata convert [OPTIONS] [IN]\n"
    "       zkdata dump [OPTIONS] [IN]       (convert --to dump)\n"
    "       zkdata --help | --version\n"
    "\n"
    "Reads a value tree from IN (standard input when IN is absent or -) and\n"
    "writes it in another format to standard output or OUT.\n"
    "\n"
    "Options:\n"
    "  --from FMT            input format; default: from IN's extension\n"
    "  --to FMT              output format; default: from OUT's extension, else dump\n"
    "  -o, --output OUT      write to the file OUT, only if the conversion succeeds\n"
    "  --template FILE       binary input: the tree whose shape the record fills\n"
    "  --template-from FMT   the template's format; default: from FILE's extension\n"
    "  --int-kind KIND       one width for every Int of the tree and the template:\n"
    "                        int8, uint8, int16, uint16, int32, uint32, int, uint\n"
    "                        (32 bits), int64, uint64; a value that does not fit\n"
    "                        it is an error. Default: each Int keeps the width its\n"
    "                        reader gave it (JSON: numbers int64, booleans int;\n"
    "                        none: int64)\n"
    "\n"
    "Formats (FMT is NAME or NAME:FLAG,FLAG...; a flag's short alias after it):\n"
    "  binary   .bin               big_endian, be: big-endian,\n"
    "                              map_unframed: maps without a body length,\n"
    "                              hex_string: strings as hexadecimal text\n"
    "  xml      .xml               free_form, free: free-form layout,\n"
    "                              compact: no line breaks,\n"
    "                              gbk: GBK text (free-form only)\n"
    "  bencode  .bencode .torrent\n"
    "  json     .json\n"
    "  http     .http              no_body, nobody: no body read or written\n"
    "  ini      .ini\n"
    "  dump     (write only)       raw_string, raw: strings as bytes,\n"
    "                              dotted_quad, quad: 32-bit integers as a.b.c.d\n"
    "\n"
    "Exit status: 0 done (also with warnings), 1 the input could not be read or\n"
    "converted or the output not written, 2 usage error.\n";

struct Options {
    std::string command;
    std::string input = "-";
    std::string output;  // empty: standard output
    std::string from, to, templatePath, templateFrom, intKind;
};

struct Plan {
    FormatSetting from, to, templateFrom;
    int32_t intKind = 0;  // 0: every Int keeps its own kind
};

int Usage(const std::string& message) {
    std::fprintf(stderr, "zkdata: %s (see zkdata --help)\n", message.c_str());
    return kExitUsage;
}

const char* DisplayName(const std::string& path) { return path == "-" ? "<stdin>" : path.c_str(); }

std::string* OptionSlot(std::string_view name, Options& opt) {
    if (name == "--from") return &opt.from;
    if (name == "--to") return &opt.to;
    if (name == "-o" || name == "--output") return &opt.output;
    if (name == "--template") return &opt.templatePath;
    if (name == "--template-from") return &opt.templateFrom;
    if (name == "--int-kind") return &opt.intKind;
    return nullptr;
}

// Fills opt from argv[2...]; returns -1 to go on, else an exit status.
int ParseOptions(int argc, char** argv, Options& opt) {
    std::vector<std::string> inputs;
    bool onlyInputs = false;
    for (int i = 2; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (onlyInputs || arg == "-" || arg.empty() || arg[0] != '-') {
            inputs.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyInputs = true;
            continue;
        }
        std::string_view name = arg.substr(0, arg.find('='));
        std::string* slot = OptionSlot(name, opt);
        if (!slot) return Usage("unknown option '" + std::string(arg) + "'");
        if (name.size() < arg.size())
            *slot = arg.substr(name.size() + 1);
        else if (i + 1 < argc)
            *slot = argv[++i];
        else
            return Usage("option " + std::string(name) + " needs a value");
    }
    if (inputs.size() > 1) return Usage("more than one input: '" + inputs[1] + "'");
    if (!inputs.empty()) opt.input = inputs[0];
    return -1;
}

int ResolveFrom(const Options& opt, FormatSetting& from) {
    std::string error;
    if (!opt.from.empty()) {
        if (!ParseFormatSetting(opt.from, from, error)) return Usage(error);
    } else if (opt.input == "-") {
        return Usage("cannot tell the format of standard input; give --from");
    } else if (!FormatFromPath(opt.input, from.format)) {
        return Usage("cannot tell the format of '" + opt.input + "' from its name; give --from");
    }
    if (from.format == FormatId::DebugDump) return Usage("dump is written only, it cannot be read");
    if (from.format == FormatId::Binary && opt.templatePath.empty())
        return Usage("binary input needs --template FILE");
    if (from.format != FormatId::Binary && !opt.templatePath.empty())
        return Usage("--template is for binary input only");
    return -1;
}

int ResolveTemplateFrom(const Options& opt, FormatSetting& setting) {
    std::string error;
    if (opt.templatePath.empty()) return opt.templateFrom.empty() ? -1 : Usage("--template-from needs --template");
    if (!opt.templateFrom.empty()) {
        if (!ParseFormatSetting(opt.templateFrom, setting, error)) return Usage(error);
    } else if (!FormatFromPath(opt.templatePath, setting.format)) {
        return Usage("cannot tell the format of template '" + opt.templatePath + "' from its name; give --template-from");
    }
    if (setting.format == FormatId::Binary || setting.format == FormatId::DebugDump)
        return Usage("a template is read from a text format, not " + std::string(FormatName(setting.format)));
    return -1;
}

int ResolveTo(const Options& opt, FormatSetting& to) {
    std::string error;
    if (!opt.to.empty()) {
        if (!ParseFormatSetting(opt.to, to, error)) return Usage(error);
    } else if (opt.command == "dump" || opt.output.empty() || !FormatFromPath(opt.output, to.format)) {
        to.format = FormatId::DebugDump;
    }
    if (opt.command == "dump" && to.format != FormatId::DebugDump) return Usage("dump writes the dump format only");
    return -1;
}

int MakePlan(const Options& opt, Plan& plan) {
    if (int status = ResolveFrom(opt, plan.from); status >= 0) return status;
    if (int status = ResolveTo(opt, plan.to); status >= 0) return status;
    if (int status = ResolveTemplateFrom(opt, plan.templateFrom); status >= 0) return status;
    if (opt.intKind.empty()) return -1;
    const NamedIntKind* kind = FindIntKind(opt.intKind);
    if (!kind) return Usage("unknown integer kind '" + opt.intKind + "'");
    plan.intKind = kind->kind;
    return -1;
}

bool ReadFile(const std::string& path, std::vector<char>& bytes) {
    FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    bool ok = !std::ferror(f);
    if (f != stdin) std::fclose(f);
    return ok;
}

bool WriteFile(const std::string& path, std::string_view bytes) {
    FILE* f = path.empty() || path == "-" ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (f == stdout ? std::fflush(f) : std::fclose(f)) == 0 && ok;
    return ok;
}

bool IsTextSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes the reader left after a complete value. A text format's closing white
// space (a final line break) is not worth a warning; in a binary record every
// byte counts.
size_t TrailingBytes(const InputStream& in, uint8_t format) {
    if (!in.good()) return 0;  // the reader ran into the end of the data
    const unsigned char* rest = in.current();
    size_t n = in.remaining();
    if (format == FormatId::Binary) return n;
    for (size_t i = 0; i < n; ++i)
        if (!IsTextSpace(rest[i])) return n;
    return 0;
}

void ReportError(const char* name, uint32_t code, const std::string& where) {
    std::fprintf(stderr, "zkdata: %s: error %u: %s%s\n", name, code, ErrorMessage(code), where.c_str());
}

// Reads the file at path into node, whose format and root options are set.
bool ReadTree(const std::string& path, DataNode& node) {
    std::vector<char> bytes;
    if (!ReadFile(path, bytes)) {
        std::fprintf(stderr, "zkdata: %s: cannot read: %s\n", DisplayName(path), std::strerror(errno));
        return false;
    }
    InputStream in(bytes.data(), bytes.size());
    if (uint32_t code = readNode(node, in)) {
        // The XML reader rewinds to the start when a document fails, so its
        // position says nothing about where the fault lies.
        std::string where;
        if (node.format() != FormatId::Xml) where = " (at offset " + std::to_string(in.offset()) + ")";
        ReportError(DisplayName(path), code, where);
        return false;
    }
    if (size_t trailing = TrailingBytes(in, node.format()))
        std::fprintf(stderr, "zkdata: %s: warning: %zu trailing bytes at offset %zu\n", DisplayName(path), trailing,
                     in.offset());
    return true;
}

void SetRootOptions(DataNode& node, uint32_t bits) {
    node.setOption(~0u, false);
    node.setOption(bits, true);
}

// A binary record's shape: the template file read in its own format, with
// integer widths by the same rule as a tree written as binary, so that a
// document is the template of its own record, list item shapes, and the
// record's node-by-node flags. Its values are only a shape: whether they fit
// does not matter.
bool LoadTemplate(const Options& opt, const Plan& plan, DataNode& tree) {
    tree.setFormat(plan.templateFrom.format);
    SetRootOptions(tree, plan.templateFrom.rootOptions);
    if (!ReadTree(opt.templatePath, tree)) return false;
    WritePreparation how;
    how.intKind = plan.intKind;
    how.unknownKindsBecomeInt64 = true;
    how.repeatFirstItems = true;
    how.setOptions = plan.from.nodeOptions;
    PrepareForWrite(tree, how);
    return true;
}

// Before writing, the node-by-node flags of --to replace those of --from,
// and for a binary record or with --int-kind every Int's width is settled. A
// value its width cannot carry would come back as another number, so it
// stops the conversion.
bool PrepareOutput(const Options& opt, const Plan& plan, DataNode& tree) {
    bool settleKinds = plan.to.format == FormatId::Binary || plan.intKind;
    WritePreparation how;
    how.intKind = plan.intKind;
    how.unknownKindsBecomeInt64 = settleKinds;
    how.clearOptions = plan.from.nodeOptions;
    how.setOptions = plan.to.nodeOptions;
    uint32_t misfits = PrepareForWrite(tree, how);
    if (!settleKinds || !misfits) return true;
    std::string path;
    const DataNode* first = FindMisfit(tree, path);
    std::string where = path.empty() ? "the root" : "at " + path;
    std::fprintf(stderr, "zkdata: %s: error: %u %s not fit %s; the first is %s (%lld)\n", DisplayName(opt.input),
                 misfits, misfits == 1 ? "integer does" : "integers do",
                 plan.intKind ? IntKindName(plan.intKind) : "their kinds", where.c_str(),
                 static_cast<long long>(first->num()));
    return false;
}

int Convert(const Options& opt, const Plan& plan) {
    DataNode tree;
    if (plan.from.format == FormatId::Binary && !LoadTemplate(opt, plan, tree)) return kExitFailed;
    tree.setFormat(plan.from.format);
    SetRootOptions(tree, plan.from.rootOptions | plan.from.nodeOptions);
    if (!ReadTree(opt.input, tree)) return kExitFailed;

    // A GBK declaration the free-form reader met stays with the document,
    // so that it is written back as GBK.
    bool keepGbk = tree.hasOption(OptionFlags::XmlGbk) && plan.to.format == FormatId::Xml &&
                   (plan.to.rootOptions & OptionFlags::XmlFreeForm);
    SetRootOptions(tree, plan.to.rootOptions | (keepGbk ? uint32_t{OptionFlags::XmlGbk} : 0u));
    if (!PrepareOutput(opt, plan, tree)) return kExitFailed;
    tree.setFormat(plan.to.format);

    OutputStream out;
    if (uint32_t code = writeNode(tree, out)) {
        ReportError(DisplayName(opt.input), code, std::string(" (writing ") + FormatName(plan.to.format) + ")");
        return kExitFailed;
    }
    if (!WriteFile(opt.output, out.view())) {
        std::fprintf(stderr, "zkdata: %s: cannot write: %s\n", opt.output.empty() ? "<stdout>" : opt.output.c_str(),
                     std::strerror(errno));
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Bytes in and out unchanged: no CR LF translation on the standard streams.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::printf("zkdata %s\n", zk::VersionString());
            return kExitOk;
        }
    }
    if (argc < 2) return Usage("no command given");
    Options opt;
    opt.command = argv[1];
    if (opt.command != "convert" && opt.command != "dump") return Usage("unknown command '" + opt.command + "'");
    if (int status = ParseOptions(argc, argv, opt); status >= 0) return status;
    Plan plan;
    if (int status = MakePlan(opt, plan); status >= 0) return status;
    try {
        return Convert(opt, plan);
    } catch (const std::bad_alloc&) {
        std::fputs("zkdata: out of memory\n", stderr);
        return kExitFailed;
    }
}
