// A host linked with the installed libzk_data.so through zk_data::module:
// creates a DataObject, stores an integer and reads it back.
#include <cstdio>

#include <zk_data/zk_data.h>

int main() {
    IClassFactory* factory = nullptr;
    if (DllGetClassObject(CLSID_DataObject, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) return 1;
    IDataValue* value = nullptr;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IDataValue, reinterpret_cast<void**>(&value));
    factory->Release();
    if (hr != S_OK) return 1;
    LONGLONG n = 0;
    if (value->SetInt64(42) != S_OK || value->GetInt64(&n) != S_OK || n != 42) return 1;
    value->Release();
    std::printf("libzk_data.so: DataObject holds %lld\n", static_cast<long long>(n));
    return DllCanUnloadNow() == S_OK ? 0 : 1;
}
