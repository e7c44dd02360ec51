// A program run as a subprocess, its standard streams redirected to files,
// and a scratch directory for those files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace zk::test {

#ifdef _WIN32

// An argument as the C runtime's command-line parser reads it back: quoted
// when it has blanks or quotes, backslashes doubled only before a quote.
inline std::wstring QuotedArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

inline HANDLE InheritedFile(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs program with args (UTF-8), standard input read from in and standard
// output and error written to out and err. The exit status, or -1 when the
// program could not be started.
inline int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& in, const std::filesystem::path& out,
                      const std::filesystem::path& err) {
    std::wstring commandLine = QuotedArgument(program.wstring());
    for (const std::string& arg : args)
        commandLine += L" " + QuotedArgument(std::filesystem::path(std::u8string(arg.begin(), arg.end())).wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritedFile(in, GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = InheritedFile(out, GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = InheritedFile(err, GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    int status = -1;
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return status;
}

// A new empty directory in the system's temporary directory; empty when
// none could be made.
inline std::filesystem::path MakeScratchDirectory(const std::string& prefix) {
    std::error_code error;
    auto base = std::filesystem::temp_directory_path(error);
    for (unsigned attempt = 0; !error && attempt < 100; ++attempt) {
        auto dir = base / (prefix + "." + std::to_string(GetCurrentProcessId()) + "." +
                           std::to_string(GetTickCount64()) + "." + std::to_string(attempt));
        if (std::filesystem::create_directory(dir, error)) return dir;
    }
    return {};
}

// A program's text as Linux writes it: a Windows program's standard error
// is in text mode, where each line ends in CR LF.
inline std::string LinuxLineEnds(std::string text) {
    size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
}

#else

// Runs program with args, standard input read from in and standard output
// and error written to out and err. The exit status, or -1 when the program
// could not be started or did not exit.
inline int RunProgram(const std::filesystem::path& program, std::vector<std::string> args,
                      const std::filesystem::path& in, const std::filesystem::path& out,
                      const std::filesystem::path& err) {
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addopen(&io, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&io, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&io, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, program.c_str(), &io, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&io);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A new empty directory in the system's temporary directory; empty when
// none could be made.
inline std::filesystem::path MakeScratchDirectory(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + ".XXXXXX")).string();
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

inline std::string LinuxLineEnds(std::string text) { return text; }

#endif

}  // namespace zk::test
