#pragma once
// What the demo's logging stand-ins share: append the parameter line they were started with, as
// received, as one UTF-8 line to a log file beside the program, and exit 0 (1 when the log cannot
// be written).
#include <windows.h>

#include <string>
#include <string_view>

namespace demo {

inline std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The command line without the program's own name and the blanks after it. The caller may write the
// program's path without quotes even when it holds blanks; the path is then recognised as a whole.
inline std::wstring_view ParameterLine(std::wstring_view command_line, std::wstring_view self) {
    size_t pos = 0;
    if (!command_line.empty() && command_line[0] == L'"') {
        pos = command_line.find(L'"', 1);
        pos = pos == std::wstring_view::npos ? command_line.size() : pos + 1;
    } else if (!self.empty() && command_line.size() >= self.size() &&
               CompareStringOrdinal(command_line.data(), static_cast<int>(self.size()), self.data(),
                                    static_cast<int>(self.size()), TRUE) == CSTR_EQUAL &&
               (command_line.size() == self.size() || command_line[self.size()] == L' ' ||
                command_line[self.size()] == L'\t')) {
        pos = self.size();
    } else {
        pos = command_line.find_first_of(L" \t");
        if (pos == std::wstring_view::npos) pos = command_line.size();
    }
    while (pos < command_line.size() && (command_line[pos] == L' ' || command_line[pos] == L'\t')) ++pos;
    return command_line.substr(pos);
}

inline std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                            nullptr);
    return result;
}

inline bool AppendLine(const std::wstring& path, std::wstring_view line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text = ToUtf8(line) + "\r\n";
    DWORD written = 0;
    bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(file);
    return ok;
}

inline int LogParametersBesideSelf(const wchar_t* logName) {
    std::wstring self = ModulePath();
    std::wstring log = self.substr(0, self.find_last_of(L"\\/") + 1) + logName;
    bool ok = AppendLine(log, ParameterLine(GetCommandLineW(), self));
    // Touch the message queue once so that a caller waiting for this process to become ready for
    // input (WaitForInputIdle) is released at once.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    return ok ? 0 : 1;
}

}  // namespace demo