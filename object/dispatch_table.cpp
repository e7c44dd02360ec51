// The dispatch tables of IDataValue and IDataBytes: one row per method, in
// interface order. Get, put and putref of a property share its DISPID and
// differ in their invoke kind.
#include "object/dispatch_binding.h"

namespace zk {
namespace {

constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kPutRef = DISPATCH_PROPERTYPUTREF;

using V = IDataValue;
using B = IDataBytes;

constexpr DispatchEntry kDataValueTable[] = {
    Bind<&V::get_Value>("Value", DISPID_DV_VALUE, kGet),
    Bind<&V::put_Value>("Value", DISPID_DV_VALUE, kPut),
    Bind<&V::putref_Value>("Value", DISPID_DV_VALUE, kPutRef),
    Bind<&V::get_Type>("Type", DISPID_DV_TYPE, kGet),
    Bind<&V::put_Type>("Type", DISPID_DV_TYPE, kPut),
    Bind<&V::get_Count>("Count", DISPID_DV_COUNT, kGet),
    Bind<&V::IsEqual>("IsEqual", DISPID_DV_ISEQUAL, kMethod),
    Bind<&V::Clear>("Clear", DISPID_DV_CLEAR, kMethod),
    Bind<&V::get_Item>("Item", DISPID_DV_ITEM, kGet),
    Bind<&V::put_Item>("Item", DISPID_DV_ITEM, kPut),
    Bind<&V::putref_Item>("Item", DISPID_DV_ITEM, kPutRef),
    Bind<&V::InsertItem>("InsertItem", DISPID_DV_INSERTITEM, kMethod),
    Bind<&V::RemoveItem>("RemoveItem", DISPID_DV_REMOVEITEM, kMethod),
    Bind<&V::KeyAt>("KeyAt", DISPID_DV_KEYAT, kMethod),
    Bind<&V::ItemAt>("ItemAt", DISPID_DV_ITEMAT, kMethod),
    Bind<&V::HasItem>("HasItem", DISPID_DV_HASITEM, kMethod),
    Bind<&V::get_Element>("Element", DISPID_DV_ELEMENT, kGet),
    Bind<&V::put_Element>("Element", DISPID_DV_ELEMENT, kPut),
    Bind<&V::putref_Element>("Element", DISPID_DV_ELEMENT, kPutRef),
    Bind<&V::get_Prototype>("Prototype", DISPID_DV_PROTOTYPE, kGet),
    Bind<&V::put_Prototype>("Prototype", DISPID_DV_PROTOTYPE, kPut),
    Bind<&V::putref_Prototype>("Prototype", DISPID_DV_PROTOTYPE, kPutRef),
    Bind<&V::InsertElement>("InsertElement", DISPID_DV_INSERTELEMENT, kMethod),
    Bind<&V::RemoveElement>("RemoveElement", DISPID_DV_REMOVEELEMENT, kMethod),
    Bind<&V::get_Format>("Format", DISPID_DV_FORMAT, kGet),
    Bind<&V::put_Format>("Format", DISPID_DV_FORMAT, kPut),
    Bind<&V::GetOption>("GetOption", DISPID_DV_GETOPTION, kMethod),
    Bind<&V::SetOption>("SetOption", DISPID_DV_SETOPTION, kMethod),
    Bind<&V::GetInt64>("GetInt64", DISPID_DV_GETINT64, kMethod),
    Bind<&V::SetInt64>("SetInt64", DISPID_DV_SETINT64, kMethod),
    Bind<&V::GetBytes>("GetBytes", DISPID_DV_GETBYTES, kMethod),
    Bind<&V::SetBytes>("SetBytes", DISPID_DV_SETBYTES, kMethod),
    Bind<&V::GetString>("GetString", DISPID_DV_GETSTRING, kMethod),
    Bind<&V::SetString>("SetString", DISPID_DV_SETSTRING, kMethod),
    Bind<&V::BytesEqual>("BytesEqual", DISPID_DV_BYTESEQUAL, kMethod),
    Bind<&V::StringEqual>("StringEqual", DISPID_DV_STRINGEQUAL, kMethod),
    Bind<&V::GetItemA>("GetItemA", DISPID_DV_GETITEMA, kMethod),
    Bind<&V::PutItemA>("PutItemA", DISPID_DV_PUTITEMA, kMethod),
    Bind<&V::HasItemA>("HasItemA", DISPID_DV_HASITEMA, kMethod),
    Bind<&V::WriteToBuffer>("WriteToBuffer", DISPID_DV_WRITETOBUFFER, kMethod),
    Bind<&V::ReadFromBuffer>("ReadFromBuffer", DISPID_DV_READFROMBUFFER, kMethod),
    Bind<&V::SetStringA>("SetStringA", DISPID_DV_SETSTRINGA, kMethod),
    Bind<&V::get_Kind>("Kind", DISPID_DV_KIND, kGet),
    Bind<&V::put_Kind>("Kind", DISPID_DV_KIND, kPut),
    Bind<&V::PushToLua>("PushToLua", DISPID_DV_PUSHTOLUA, kMethod),
    Bind<&V::ReadFromLua>("ReadFromLua", DISPID_DV_READFROMLUA, kMethod),
};

constexpr DispatchEntry kDataBytesTable[] = {
    Bind<&B::Save>("Save", DISPID_DB_SAVE, kMethod),
    Bind<&B::Load>("Load", DISPID_DB_LOAD, kMethod),
    Bind<&B::LoadArray>("LoadArray", DISPID_DB_LOADARRAY, kMethod),
};

static_assert(std::size(kDataValueTable) == 46 && std::size(kDataBytesTable) == 3, "one row per method");

}  // namespace

std::span<const DispatchEntry> DispatchTableFor(const IDataValue*) noexcept { return kDataValueTable; }

std::span<const DispatchEntry> DispatchTableFor(const IDataBytes*) noexcept { return kDataBytesTable; }

}  // namespace zk
