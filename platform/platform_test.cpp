// Runs under Wine: proves the Windows harness with real registry, shell and file calls.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

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
