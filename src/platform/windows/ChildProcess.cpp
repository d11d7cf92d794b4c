// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ChildProcess.h"

#include "platform/windows/WideText.h"

#include <algorithm>
#include <map>
#include <windows.h>

namespace fw::process {
namespace {

std::error_code systemError(DWORD error) {
    return {static_cast<int>(error), std::system_category()};
}

// One argument as CreateProcessW's reader (CommandLineToArgvW's rules) reads it back whole.
std::wstring quotedArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// Ours with `environment` on top, sorted as the system expects, each "NAME=VALUE\0", then "\0".
std::wstring environmentBlock(const std::vector<std::pair<std::string, std::string>>& environment) {
    std::map<std::wstring, std::wstring> vars;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e != L'\0'; e += wcslen(e) + 1) {
            const std::wstring entry(e);
            const auto eq = entry.find(L'=', 1); // "=C:=C:\..." names start with '='
            if (eq != std::wstring::npos) {
                vars[entry.substr(0, eq)] = entry.substr(eq + 1);
            }
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : environment) {
        vars[wideOf(name)] = wideOf(value);
    }
    std::wstring out;
    for (const auto& [name, value] : vars) {
        out += name + L"=" + value;
        out += L'\0';
    }
    out += L'\0';
    return out;
}

} // namespace

ChildEnd runToEnd(const std::vector<std::string>& words,
                  const std::vector<std::pair<std::string, std::string>>& environment,
                  const std::string& input, std::chrono::milliseconds timeout) {
    std::wstring commandLine;
    for (const std::string& w : words) {
        commandLine += (commandLine.empty() ? L"" : L" ") + quotedArgument(wideOf(w));
    }
    std::wstring env = environmentBlock(environment);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (CreatePipe(&readEnd, &writeEnd, &inherit, 0) == 0) {
        return {ChildEnd::How::NotStarted, 0, systemError(GetLastError())};
    }
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = GetStdHandle(STD_ERROR_HANDLE); // our standard output holds results
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    const BOOL started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, env.data(), nullptr, &startup, &child);
    const DWORD startError = GetLastError();
    CloseHandle(readEnd);
    if (started == 0) {
        CloseHandle(writeEnd);
        return {ChildEnd::How::NotStarted, 0, systemError(startError)};
    }
    CloseHandle(child.hThread);
    DWORD written = 0;
    // The event is far smaller than the pipe's buffer: the write does not wait on the reader.
    WriteFile(writeEnd, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(writeEnd);
    const DWORD waited = WaitForSingleObject(
        child.hProcess, static_cast<DWORD>(std::min<long long>(timeout.count(), INFINITE - 1)));
    ChildEnd end;
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, 1);
        WaitForSingleObject(child.hProcess, INFINITE);
        end = {ChildEnd::How::TimedOut, 0, {}};
    } else {
        DWORD code = 0;
        GetExitCodeProcess(child.hProcess, &code);
        end = {ChildEnd::How::Exited, static_cast<int>(code), {}};
    }
    CloseHandle(child.hProcess);
    return end;
}

} // namespace fw::process
