#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <iostream>

#include "base/errors.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "base/string_list.h"
#include "engine/file_list.h"
#include "engine/application_repository.h"
#include "platform/shell_folders.h"
#include "product/setup_helper.h"
#include "engine/engine_routines.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/message_window.h"
#include "platform/process.h"

namespace uinst::e2e {

String BinFolder() {
    return ExtractFilePath(ModuleFileName());
}

String ReadTextFile(const String& path) {
    if (!FileExists(path)) return String();
    const auto bytes = ReadFileBytes(path);
    return Utf8ToString(std::string(bytes.begin(), bytes.end()));
}

TUniqueHandle StartTestProgram(const String& commandLine, const TProcessOptions& options) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        TUniqueHandle process = StartProcess(commandLine, options);
        if (process) {
            if (attempt > 1)
                std::cout << "started at attempt " << attempt << " (before: system error " << error << ": "
                          << StringToUtf8(SysErrorMessage(error)) << "): " << StringToUtf8(commandLine) << "\n";
            return process;
        }
        error = GetLastError();
        Sleep(250);
    }
    ADD_FAILURE() << "cannot start (system error " << error << ": " << StringToUtf8(SysErrorMessage(error)) << ") "
                  << StringToUtf8(commandLine);
    return TUniqueHandle();
}

TRunResult RunProgram(const String& program, const String& parameters, DWORD timeoutMs, const String& directory) {
    TRunResult result;
    const String line = u"\"" + program + u"\" " + parameters;
    TProcessOptions options;
    options.Directory = directory;
    const TUniqueHandle process = StartTestProgram(line, options);
    if (!process) return result;
    if (!WaitWithMessages(process.Get(), timeoutMs)) {
        ADD_FAILURE() << "the program did not end in time: " << StringToUtf8(line);
        TerminateProcess(process.Get(), 99);
        WaitForSingleObject(process.Get(), 5000);
    }
    GetExitCodeProcess(process.Get(), &result.ExitCode);
    return result;
}

TRunResult RunSetup(const String& parameters, DWORD timeoutMs, const String& directory) {
    static int counter = 0;
    const String log = GetTempFolder() + u"uinst-e2e-" + Utf8ToString(std::to_string(GetCurrentProcessId())) + u"-" +
                       Utf8ToString(std::to_string(++counter)) + u".log";
    DeleteFileW(WidePtr(log));
    TRunResult result = RunProgram(BinFolder() + u"uInstaller.exe",
                                   parameters + u" /SUPPRESSMSGBOXES /LOG=\"" + log + u"\"", timeoutMs, directory);
    result.Log = ReadTextFile(log);
    DeleteFileW(WidePtr(log));
    return result;
}

void RemoveTree(const String& folder) {
    DeleteFolderTree(folder);
}

bool Contains(const String& text, StringView part) {
    return text.find(part) != String::npos;
}

String SourceFolder() {
    String path = u"Z:" + Utf8ToString(UINST_SOURCE_DIR);
    for (Char& c : path)
        if (c == u'/') c = u'\\';
    return IncludeTrailingPathDelimiter(path);
}

bool WaitUntilProgramsEnd(StringView fileName, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        bool running = false;
        // The snapshot fails with INVALID_HANDLE_VALUE, as files do.
        TUniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        if (snapshot && Process32FirstW(snapshot.Get(), &entry)) {
            do running = running || SameText(FromWide(entry.szExeFile), fileName);
            while (Process32NextW(snapshot.Get(), &entry));
        }
        if (!running) return true;
        if (GetTickCount64() - start > timeoutMs) return false;
        Sleep(100);
    }
}

std::optional<TRegistryKey> ProductEntry() {
    return TRegistryKey::Open(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"ORVO", KEY_READ | KEY_WOW64_32KEY);
}

void ForgetInstallation() {
    TInstallerApplicationRepository::Unregister(u"ORVO");
    DeleteFileW(WidePtr(GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + u"ORVO.lnk"));
    DeleteFileW(WidePtr(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY) + u"ORVO.lnk"));
    RemoveTree(GetSpecialFolder(CSIDL_COMMON_PROGRAMS) + u"ORVO\\");
}

void WriteTextFile(const String& path, const std::string& text) {
    // Parents first: the tests build small trees of an older installation.
    String folder = ExtractFilePath(path);
    for (size_t i = 3; i < folder.size(); ++i)
        if (folder[i] == u'\\') CreateDirectoryW(WidePtr(folder.substr(0, i)), nullptr);
    WriteFileBytes(path, text.data(), text.size());
}

std::vector<String> DriveListing() {
    TORLStringList files;
    FindFiles(u"C:\\", GetSpecialFolder(CSIDL_WINDOWS), files);
    const String temp = UpperCase(GetTempFolder());
    std::vector<String> listing;
    for (int i = 0; i < files.Count(); ++i) {
        const String upper = UpperCase(files[i]);
        if (upper.rfind(temp, 0) == 0 || upper.find(u"\\TEMP\\") != String::npos) continue;
        WIN32_FILE_ATTRIBUTE_DATA info{};
        GetFileAttributesExW(WidePtr(files[i]), GetFileExInfoStandard, &info);
        listing.push_back(files[i] + u" " + Utf8ToString(std::to_string(info.nFileSizeLow)) + u" " +
                          Utf8ToString(std::to_string(info.ftLastWriteTime.dwLowDateTime)));
    }
    std::sort(listing.begin(), listing.end());
    return listing;
}

TEnvironmentOverride::TEnvironmentOverride(const wchar_t* name, const wchar_t* value) : FName(name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size > 0) {
        std::wstring saved(size, L'\0');
        saved.resize(GetEnvironmentVariableW(name, saved.data(), size));
        FSaved = std::move(saved);
    }
    SetEnvironmentVariableW(name, value);
}

TEnvironmentOverride::~TEnvironmentOverride() {
    SetEnvironmentVariableW(FName, FSaved ? FSaved->c_str() : nullptr);
}

}  // namespace uinst::e2e
