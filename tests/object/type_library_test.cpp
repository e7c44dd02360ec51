// The type library (object/zk_data.idl) and the Linux dispatch table describe
// the same late-bound interface: the same methods in method-table order, with
// the same names, DISPIDs, invoke kinds and parameters, and the same methods
// held back from late binding. Windows serves IDispatch from the library,
// Linux from the table, so a drift between them would make the two builds
// answer a script differently.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "object/dispatch.h"

namespace zk::test {
namespace {

struct IdlParam {
    bool out;
    std::string type;  // without the pointer of an out parameter
};

struct IdlMethod {
    std::string name;
    DISPID id;
    WORD kind;
    bool restricted;
    std::vector<IdlParam> params;
};

std::string ReadIdl() {
    std::ifstream in(ZK_SOURCE_DIR "/object/zk_data.idl");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<IdlParam> ParseParams(const std::string& list) {
    static const std::regex param(R"(\[([a-z, ]+)\] ([A-Za-z_()]+[A-Za-z_()* ]*?)\s*\*?\s*\w+\s*(,|$))");
    std::vector<IdlParam> params;
    for (std::sregex_iterator it(list.begin(), list.end(), param), end; it != end; ++it) {
        std::string type = (*it)[2];
        bool out = (*it)[1].str().find("out") != std::string::npos;
        if (out && !type.empty() && type.back() == '*') type.pop_back();
        while (!type.empty() && type.back() == ' ') type.pop_back();
        params.push_back({out, type});
    }
    return params;
}

// The methods of one interface of the library, in declaration order.
std::vector<IdlMethod> IdlMethods(const std::string& idl, const std::string& iface) {
    size_t begin = idl.find("interface " + iface + " : IDispatch");
    size_t end = idl.find("};", begin);
    if (begin == std::string::npos || end == std::string::npos) return {};
    std::string body = idl.substr(begin, end - begin);
    static const std::regex method(R"(\[id\((\d+)\)([a-z, ]*)\] HRESULT (\w+)\(([^)]*(?:\([A-Z]+\)[^)]*)?)\);)");
    std::vector<IdlMethod> methods;
    for (std::sregex_iterator it(body.begin(), body.end(), method), stop; it != stop; ++it) {
        std::string attributes = (*it)[2];
        WORD kind = DISPATCH_METHOD;
        if (attributes.find("propputref") != std::string::npos) kind = DISPATCH_PROPERTYPUTREF;
        else if (attributes.find("propput") != std::string::npos) kind = DISPATCH_PROPERTYPUT;
        else if (attributes.find("propget") != std::string::npos) kind = DISPATCH_PROPERTYGET;
        methods.push_back({(*it)[3], std::stoi((*it)[1]), kind, attributes.find("restricted") != std::string::npos,
                           ParseParams((*it)[4])});
    }
    return methods;
}

VARTYPE AutomationType(const std::string& idlType) {
    static const std::map<std::string, VARTYPE> types = {
        {"LONG", VT_I4},           {"ULONG", VT_UI4},       {"LONGLONG", VT_I8},
        {"VARIANT_BOOL", VT_BOOL}, {"BSTR", VT_BSTR},       {"VARIANT", VT_VARIANT},
        {"SAFEARRAY(BYTE)", VT_ARRAY | VT_UI1},
    };
    auto found = types.find(idlType);
    return found == types.end() ? VARTYPE(VT_EMPTY) : found->second;
}

void ExpectAgreement(const std::vector<IdlMethod>& idl, std::span<const DispatchEntry> table) {
    ASSERT_EQ(idl.size(), table.size()) << "methods in the library and rows in the table";
    for (size_t i = 0; i < idl.size(); ++i) {
        const IdlMethod& method = idl[i];
        const DispatchEntry& row = table[i];
        SCOPED_TRACE("method " + std::to_string(i) + " " + method.name);
        EXPECT_EQ(method.name, row.name);
        EXPECT_EQ(method.id, row.id);
        EXPECT_EQ(method.kind, row.kind);
        EXPECT_EQ(method.restricted, row.thunk == nullptr) << "late binding refused in one and not the other";
        ASSERT_EQ(method.params.size(), row.paramCount);
        if (method.restricted) continue;
        for (size_t p = 0; p < method.params.size(); ++p) {
            EXPECT_EQ(method.params[p].out, row.params[p].out) << "parameter " << p;
            EXPECT_EQ(AutomationType(method.params[p].type), row.params[p].vt)
                << "parameter " << p << " " << method.params[p].type;
        }
    }
}

TEST(TypeLibrary, DataValueAgreesWithTheDispatchTable) {
    std::vector<IdlMethod> methods = IdlMethods(ReadIdl(), "IDataValue");
    ASSERT_EQ(methods.size(), 46u);
    ExpectAgreement(methods, DispatchTableFor(static_cast<const IDataValue*>(nullptr)));
}

TEST(TypeLibrary, DataBytesAgreesWithTheDispatchTable) {
    std::vector<IdlMethod> methods = IdlMethods(ReadIdl(), "IDataBytes");
    ASSERT_EQ(methods.size(), 3u);
    ExpectAgreement(methods, DispatchTableFor(static_cast<const IDataBytes*>(nullptr)));
}

TEST(TypeLibrary, CarriesTheIdentitiesOfTheHeader) {
    std::string idl = ReadIdl();
    for (const char* uuid : {"CE00845C-20B4-4DC5-92DB-BC2858525E1D", "E7269FEE-E6F3-42B9-8050-BE7902D76283",
                             "D5E84520-C039-4F44-A09C-C0C8EE1D7D59", "71706A14-2517-48FD-8DBC-B95010554593"})
        EXPECT_NE(idl.find(std::string("uuid(") + uuid + ")"), std::string::npos) << uuid;
    EXPECT_NE(idl.find("version(1.0)"), std::string::npos);
    static_assert(kZkDataTypeLibMajor == 1 && kZkDataTypeLibMinor == 0);
    static_assert(LIBID_ZkData.Data1 == 0xCE00845C && IID_IDataValue.Data1 == 0xE7269FEE);
    static_assert(IID_IDataBytes.Data1 == 0xD5E84520 && CLSID_DataObject.Data1 == 0x71706A14);
}

}  // namespace
}  // namespace zk::test

#endif  // _WIN32
