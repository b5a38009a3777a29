// Runs under Wine: proves the Windows harness with real registry, shell and file calls.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/paths.h"
#include "engine/command_line.h"
#include "platform/files.h"
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

TEST(Platform, ParamsLineOfTheRealProcess) {
    // The arguments of a test run hold no spaces, so they are the parameters joined by spaces.
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    ASSERT_NE(args, nullptr);
    String expected;
    for (int i = 1; i < count; ++i) expected += (i > 1 ? u" " : u"") + FromWide(args[i]);
    LocalFree(args);
    EXPECT_EQ(TORLCommandLineProcessor::ParamsLine(), expected);
}

}  // namespace
}  // namespace uinst
