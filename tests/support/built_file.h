// Where a test finds a program or module the build made. The build compiles
// in a path for it: on Linux the full path; on Windows only the file's name,
// found beside the running test program (the build puts both at the top of
// the build tree), because the build machine's paths mean nothing to a
// Windows process, under Wine or not.
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zk::test {

inline std::filesystem::path BuiltFile(const char* compiledIn) {
#ifdef _WIN32
    std::wstring self(MAX_PATH, L'\0');
    DWORD length;
    while ((length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()))) == self.size())
        self.resize(self.size() * 2);
    self.resize(length);
    return std::filesystem::path(self).parent_path() / compiledIn;
#else
    return compiledIn;
#endif
}

}  // namespace zk::test
