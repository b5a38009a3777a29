// Runs under Wine: proves the Windows harness with real registry, shell and file calls.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/format.h"
#include "base/paths.h"
#include "platform/files.h"
#include "platform/message_window.h"
#include "platform/os_error.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"

namespace uinst {
namespace {

TEST(Platform, RegistryValuesWriteReadAndDelete) {
    const String path = u"Software\\uInstallerTests\\Smoke";
    {
        auto key = TRegistryKey::Create(HKEY_CURRENT_USER, path);
        key.WriteString(u"DisplayName", u"ORVO \u0416");
        key.WriteDWord(u"NoModify", 1);
    }
    auto key = TRegistryKey::Open(HKEY_CURRENT_USER, path);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->ReadString(u"DisplayName"), u"ORVO \u0416");
    EXPECT_EQ(key->ReadDWord(u"NoModify"), 1u);
    EXPECT_FALSE(key->ReadString(u"Missing").has_value());
    EXPECT_FALSE(key->ReadString(u"NoModify").has_value());
    key.reset();
    EXPECT_TRUE(TRegistryKey::DeleteTree(HKEY_CURRENT_USER, u"Software\\uInstallerTests"));
    EXPECT_FALSE(TRegistryKey::Open(HKEY_CURRENT_USER, path).has_value());
}

TEST(Platform, SpecialFoldersEndWithABackslash) {
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_APPDATA, CSIDL_DESKTOPDIRECTORY}) {
        const String folder = GetSpecialFolder(csidl);
        ASSERT_FALSE(folder.empty()) << csidl;
        EXPECT_EQ(folder.back(), u'\\');
        EXPECT_TRUE(DirectoryExists(folder)) << StringToUtf8(folder);
    }
}

TEST(Platform, FilesInTheTemporaryFolder) {
    const String path = GetTempFolder() + u"uinst smoke \u00e9.bin";
    const char data[] = "hello";
    WriteFileBytes(path, data, 5);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_TRUE(DeleteFileW(WidePtr(const_cast<String&>(path))));
    try {
        ReadFileBytes(path);
        FAIL() << "reading a missing file must raise";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
        EXPECT_NE(e.Message().find(u"uinst smoke"), String::npos);
    }
}

// Folders and files far below the 260-character limit, made, read, started and removed through the
// same calls as short ones.
TEST(Platform, DeepFoldersWorkLikeShortOnes) {
    const String root = GetTempFolder() + u"uinst deep " + IntToStr(GetCurrentProcessId()) + u"\\";
    String deep = root;
    std::vector<String> levels;
    while (deep.size() < 300) {
        deep += u"a folder name of some length, level " + IntToStr(static_cast<int64_t>(levels.size())) + u"\\";
        levels.push_back(deep);
    }
    uint32_t error = 1;
    ASSERT_TRUE(ForceFolders(deep, error));
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(DirectoryExists(deep));
    const String file = deep + u"Elevator.exe";
    WriteFileBytes(file, "MZ", 2);
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(FileSizeOf(file), 2);
    EXPECT_EQ(ReadFileBytes(file), (std::vector<uint8_t>{'M', 'Z'}));
    // The loader's name for it: short enough, and the same file.
    const String startable = StartablePath(file);
    EXPECT_LT(startable.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(ReadFileBytes(startable), (std::vector<uint8_t>{'M', 'Z'}));
    EXPECT_EQ(StartablePath(u"C:\\short.exe"), u"C:\\short.exe");

    // A folder below a file cannot be made: the system's reason comes back.
    EXPECT_FALSE(ForceFolders(file + u"\\below\\", error));
    EXPECT_NE(error, 0u);

    EXPECT_TRUE(DeleteFileW(WidePtr(LongPathName(file))));
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        EXPECT_TRUE(RemoveDirectoryW(WidePtr(LongPathName(*level))));
    EXPECT_TRUE(RemoveDirectoryW(WidePtr(root)));
}

int gMessagesSeen = 0;
constexpr UINT kTestMessage = WM_USER + 77;

LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTestMessage && wParam == 3 && lParam == 4) ++gMessagesSeen;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Platform, TopLevelWindowsOfTheProcessHearAMessageOnce) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"uinst_platform_test";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    gMessagesSeen = 0;
    SendToProcessWindows(kTestMessage, 3, 4);
    EXPECT_EQ(gMessagesSeen, 1);
    DestroyWindow(window);
    SendToProcessWindows(kTestMessage, 3, 4);
    EXPECT_EQ(gMessagesSeen, 1);
}

}  // namespace
}  // namespace uinst
