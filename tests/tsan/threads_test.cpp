// Several threads share one class factory. Each creates its own objects,
// builds and serializes its own trees, publishes and reads its own last-error
// values, and releases everything; at the end the module can unload.
// Built with -fsanitize=thread by scripts/tsan.sh; any report fails the run.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "zk_data/zk_data.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 300;
std::atomic<int> failures{0};

#define CHECK(cond)                                                                 \
    do {                                                                            \
        if (!(cond)) {                                                              \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            failures.fetch_add(1);                                                  \
            return;                                                                 \
        }                                                                           \
    } while (0)

VARIANT Long(LONG v) {
    VARIANT x;
    std::memset(&x, 0, sizeof x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

VARIANT Unknown(IUnknown* p) {
    VARIANT x;
    std::memset(&x, 0, sizeof x);
    x.vt = VT_UNKNOWN;
    x.punkVal = p;
    return x;
}

void Worker(IClassFactory* factory, int id) {
    for (int round = 0; round < kRounds; ++round) {
        IDataValue* obj = nullptr;
        CHECK(factory->CreateInstance(nullptr, IID_IDataValue, reinterpret_cast<void**>(&obj)) == S_OK);
        CHECK(obj->put_Type(4) == S_OK);
        std::u16string key = u"t" + std::u16string(1, static_cast<char16_t>(u'0' + id));
        BSTR k = SysAllocString(key.c_str());
        CHECK(obj->put_Item(k, Long(id * 1000 + round)) == S_OK);
        BSTR s = SysAllocString(u"thread text");
        VARIANT text;
        std::memset(&text, 0, sizeof text);
        text.vt = VT_BSTR;
        text.bstrVal = s;
        CHECK(obj->PutItemA("s", text) == S_OK);
        SysFreeString(s);

        // A child object: a live view into this thread's tree.
        VARIANT child;
        std::memset(&child, 0, sizeof child);
        CHECK(obj->get_Item(k, &child) == S_OK);
        SysFreeString(k);
        VariantClear(&child);

        // Size query: fails with the buffer-too-small code in this thread's slot.
        CHECK(obj->put_Format(3) == S_OK);
        ULONG size = 0;
        CHECK(obj->WriteToBuffer(nullptr, &size) == E_FAIL);
        CHECK(GetLastError() == 20100006);
        std::this_thread::yield();
        CHECK(GetLastError() == 20100006);  // other threads publish their own codes
        std::vector<BYTE> buf(size);
        CHECK(obj->WriteToBuffer(buf.data(), &size) == S_OK);
        CHECK(GetLastError() == 0);

        // Read the text back into a second object and compare.
        IDataValue* copy = nullptr;
        CHECK(factory->CreateInstance(nullptr, IID_IDataValue, reinterpret_cast<void**>(&copy)) == S_OK);
        CHECK(copy->put_Format(3) == S_OK);
        ULONG used = size;
        CHECK(copy->ReadFromBuffer(buf.data(), &used) == S_OK);
        VARIANT_BOOL equal = VARIANT_FALSE;
        CHECK(obj->IsEqual(Unknown(copy), &equal) == S_OK && equal == VARIANT_TRUE);

        // A failing read publishes a code of its own.
        static const BYTE bad[] = "{\"a\" 1}";
        used = sizeof bad - 1;
        CHECK(copy->ReadFromBuffer(bad, &used) == E_FAIL);
        CHECK(GetLastError() == 20100007);
        if (round % 16 == 0) {
            CHECK(factory->LockServer(TRUE) == S_OK);
            CHECK(factory->LockServer(FALSE) == S_OK);
        }
        copy->Release();
        obj->Release();
    }
}

}  // namespace

int main() {
    IClassFactory* factory = nullptr;
    if (DllGetClassObject(CLSID_DataObject, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) return 1;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) threads.emplace_back(Worker, factory, i);
    // The main thread takes and drops factory references meanwhile.
    for (int i = 0; i < 200; ++i) {
        IClassFactory* again = nullptr;
        if (DllGetClassObject(CLSID_DataObject, IID_IClassFactory, reinterpret_cast<void**>(&again)) == S_OK)
            again->Release();
        std::this_thread::yield();
    }
    for (std::thread& t : threads) t.join();
    bool busy = DllCanUnloadNow() == S_FALSE;
    factory->Release();
    HRESULT unload = DllCanUnloadNow();
    std::printf("threads: %d x %d rounds, failures %d, unload %s\n", kThreads, kRounds, failures.load(),
                unload == S_OK ? "S_OK" : "S_FALSE");
    return failures.load() == 0 && busy && unload == S_OK ? 0 : 1;
}
