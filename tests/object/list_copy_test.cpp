// A copied list keeps its source's first item as its prototype, whichever
// way a host changes the copy's item 0 afterwards.
#include "tests/object/object_test_support.h"

namespace zk::test {
namespace {

// A copy of [Int 1 of kind Int32], as a host makes one: storing an object.
Ref<IDataValue> CopyOfInt32List() {
    auto source = NewValue();
    EXPECT_EQ(source->put_Element(0, Typed(VT_I4, 1)), S_OK);
    Var object;
    SetObject(object, source.get());
    auto copy = NewValue();
    EXPECT_EQ(copy->put_Value(object), S_OK);
    return copy;
}

LONG PrototypeKind(IDataValue* list) {
    Var prototype;
    EXPECT_EQ(list->get_Prototype(prototype.out()), S_OK);
    return KindOf(ObjectIn(prototype).get());
}

// Count 2, then an 8-byte and a 4-byte integer: item 0 as the copy holds it
// now, item 1 made from the prototype.
HRESULT ReadWideThenNarrow(IDataValue* list) {
    list->put_Format(FormatId::Binary);
    const BYTE record[] = {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0};
    ULONG size = sizeof record;
    return list->ReadFromBuffer(record, &size);
}

TEST(ListCopy, PrototypeIgnoresElementPut) {
    auto copy = CopyOfInt32List();
    EXPECT_EQ(copy->put_Element(0, Typed(VT_I8, 1)), S_OK);
    EXPECT_EQ(PrototypeKind(copy.get()), ValueKind::Int32);
    EXPECT_EQ(ReadWideThenNarrow(copy.get()), S_OK);
    EXPECT_EQ(KindOf(Element(copy.get(), 1).get()), ValueKind::Int32);
}

TEST(ListCopy, PrototypeIgnoresEditsThroughAnElementObject) {
    auto copy = CopyOfInt32List();
    auto first = Element(copy.get(), 0);
    EXPECT_EQ(first->put_Value(Typed(VT_I8, 1)), S_OK);
    EXPECT_EQ(ReadWideThenNarrow(copy.get()), S_OK);
    EXPECT_EQ(PrototypeKind(copy.get()), ValueKind::Int32);
}

}  // namespace
}  // namespace zk::test
