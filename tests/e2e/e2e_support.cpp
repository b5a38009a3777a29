#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include "base/paths.h"
#include "engine/application_repository.h"
#include "platform/shell_folders.h"
#include "product/setup_helper.h"
#include "engine/engine_routines.h"
#include "platform/files.h"
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

TRunResult RunProgram(const String& program, const String& parameters, DWORD timeoutMs) {
    TRunResult result;
    const String line = u"\"" + program + u"\" " + parameters;
    const TUniqueHandle process = StartProcess(line);
    if (!process) {
        ADD_FAILURE() << "cannot start " << StringToUtf8(line);
        return result;
    }
    if (!WaitWithMessages(process.Get(), timeoutMs)) {
        ADD_FAILURE() << "the program did not end in time: " << StringToUtf8(line);
        TerminateProcess(process.Get(), 99);
        WaitForSingleObject(process.Get(), 5000);
    }
    GetExitCodeProcess(process.Get(), &result.ExitCode);
    return result;
}

TRunResult RunSetup(const String& parameters, DWORD timeoutMs) {
    static int counter = 0;
    const String log = GetTempFolder() + u"uinst-e2e-" + Utf8ToString(std::to_string(GetCurrentProcessId())) + u"-" +
                       Utf8ToString(std::to_string(++counter)) + u".log";
    DeleteFileW(WidePtr(log));
    TRunResult result = RunProgram(BinFolder() + u"uInstaller.exe",
                                   parameters + u" /SUPPRESSMSGBOXES /LOG=\"" + log + u"\"", timeoutMs);
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

void ForgetInstallation() {
    TInstallerApplicationRepository::Unregister(u"ORVO");
    DeleteFileW(WidePtr(GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + u"ORVO.lnk"));
    DeleteFileW(WidePtr(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY) + u"ORVO.lnk"));
    RemoveTree(GetSpecialFolder(CSIDL_COMMON_PROGRAMS) + u"ORVO\\");
}

}  // namespace uinst::e2e
