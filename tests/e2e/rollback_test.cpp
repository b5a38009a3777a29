// Failed, interrupted and resumed runs: whatever a run changed before it failed is given back,
// driven by the program's fault seams (UINST_TEST_FAULT, UINST_TEST_END_AT).
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <map>

#include "base/paths.h"
#include "base/text_case.h"
#include "engine/application_repository.h"
#include "engine/run_journal.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "tests/e2e/e2e_support.h"

namespace uinst::e2e {
namespace {

constexpr wchar_t kDiskFullAtThirdWrite[] = L"write:3:112";

// Every folder and file below the folder, with the files' bytes.
void ListTree(const String& folder, const String& relative, std::map<String, std::string>& out) {
    WIN32_FIND_DATAW data;
    TUniqueFind find(FindFirstFileW(WidePtr(folder + relative + u"*"), &data));
    if (!find) return;
    std::vector<std::pair<String, bool>> entries;
    do {
        const String name = FromWide(data.cFileName);
        if (name != u"." && name != u"..")
            entries.emplace_back(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(find.Get(), &data));
    find.Reset();
    for (const auto& [name, isFolder] : entries) {
        if (isFolder) {
            out[relative + name + u"\\"] = "(folder)";
            ListTree(folder, relative + name + u"\\", out);
        } else {
            const auto bytes = ReadFileBytes(folder + relative + name);
            out[relative + name] = std::string(bytes.begin(), bytes.end());
        }
    }
}

std::map<String, std::string> Tree(const String& folder) {
    std::map<String, std::string> out;
    ListTree(folder, String(), out);
    return out;
}

// The tree without the backup archives that runs added since `before`.
std::map<String, std::string> WithoutNewArchives(std::map<String, std::string> tree,
                                                 const std::map<String, std::string>& before) {
    std::erase_if(tree, [&](const auto& item) {
        return UpperCase(item.first).rfind(u"!BACKUP\\", 0) == 0 && !before.count(item.first);
    });
    return tree;
}

std::string Differences(const std::map<String, std::string>& a, const std::map<String, std::string>& b) {
    std::string out;
    for (const auto& [name, bytes] : a)
        if (!b.count(name) || b.at(name) != bytes) out += " " + StringToUtf8(name);
    for (const auto& [name, bytes] : b)
        if (!a.count(name)) out += " +" + StringToUtf8(name);
    return out;
}

// The values of an uninstall entry (32-bit view), as "name=type:bytes" lines; empty when it is missing.
std::vector<String> EntryValues(StringView name) {
    std::vector<String> values;
    TUniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WidePtr(String(kUninstallKeyPrefix) + String(name)), 0,
                      KEY_READ | KEY_WOW64_32KEY, key.Put()) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        BYTE data[2048];
        DWORD nameLength = 256, dataLength = sizeof data, type = 0;
        if (RegEnumValueW(key.Get(), i, valueName, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
            break;
        String line = FromWide(valueName, nameLength) + u"=" + Utf8ToString(std::to_string(type)) + u":";
        for (DWORD k = 0; k < dataLength; ++k) line += Utf8ToString(std::to_string(data[k])) + u",";
        values.push_back(line);
    }
    std::sort(values.begin(), values.end());
    return values;
}

String RunText(const TRunResult& run) {
    return Utf8ToString(std::to_string(run.ExitCode)) + u"\n" + run.Log;
}

TEST(Rollback, AnUpdateThatFailsInItsExtractionLeavesTheInstallationAsItWas) {
    TTempFolder scratch(u"e2e rollback update");
    const String dest = scratch.Path() + u"ORVO\\";
    ForgetInstallation();
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest + u"\" /SILENT").ExitCode, 0u);
    WriteTextFile(dest + u"Skins\\Mine.ocs4", "a skin of the user");
    WriteTextFile(dest + u"Notes.txt", "a file of the user");
    const auto before = Tree(dest);
    const auto entry = EntryValues(u"ORVO");
    ASSERT_FALSE(entry.empty());
    const std::vector<String> drive = DriveListing();

    for (const bool backup : {true, false}) {
        SCOPED_TRACE(backup ? "with a backup" : "with /NOBACKUP");
        TRunResult run;
        {
            TEnvironmentOverride fault(L"UINST_TEST_FAULT", kDiskFullAtThirdWrite);
            run = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT" + (backup ? u"" : u" /NOBACKUP"));
        }
        EXPECT_EQ(run.ExitCode, 1u) << StringToUtf8(run.Log);
        EXPECT_TRUE(Contains(run.Log, u"Rollback: restored " + dest + u"ORVO.exe")) << StringToUtf8(run.Log);
        EXPECT_FALSE(Contains(run.Log, u"Rollback: cannot")) << StringToUtf8(run.Log);
        EXPECT_EQ(Differences(before, WithoutNewArchives(Tree(dest), before)), "");
        EXPECT_EQ(EntryValues(u"ORVO"), entry);
        EXPECT_EQ(DriveListing(), drive);
        EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(dest)));
        EXPECT_EQ(ReadFileBytes(dest + u"Uninstall.exe"), ReadFileBytes(BinFolder() + u"uInstaller.exe"));
    }

    // The next update runs normally.
    const TRunResult next = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
    EXPECT_EQ(next.ExitCode, 0u) << StringToUtf8(next.Log);
    EXPECT_FALSE(Contains(next.Log, u"Rollback:")) << StringToUtf8(next.Log);
    EXPECT_TRUE(FileExists(dest + u"Skins\\Mine.ocs4"));
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(dest)));
    ForgetInstallation();
}

TEST(Rollback, AFailedFreshInstallationLeavesNothingBehind) {
    TTempFolder scratch(u"e2e rollback fresh");
    const String dest = scratch.Path() + u"New folder\\ORVO\\";
    ForgetInstallation();
    const std::vector<String> drive = DriveListing();
    TRunResult run;
    {
        TEnvironmentOverride fault(L"UINST_TEST_FAULT", kDiskFullAtThirdWrite);
        run = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
    }
    EXPECT_EQ(run.ExitCode, 1u) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"Rollback: removed " + dest + u"ORVO.exe")) << StringToUtf8(run.Log);
    EXPECT_FALSE(DirectoryExists(scratch.Path() + u"New folder")) << "the folders the run created are gone too";
    EXPECT_TRUE(EntryValues(u"ORVO").empty());
    EXPECT_EQ(DriveListing(), drive);
}

TEST(Rollback, ARunEndedAfterItsDeletionsIsRolledBackByTheNextStart) {
    TTempFolder scratch(u"e2e rollback interrupted");
    const String dest = scratch.Path() + u"ORVO\\";
    ForgetInstallation();
    ASSERT_EQ(RunSetup(u"/AUTO \"" + dest + u"\" /SILENT").ExitCode, 0u);
    const auto before = Tree(dest);
    const auto entry = EntryValues(u"ORVO");

    // The process ends at a step of the update, as a crash or a power cut would end it. The next
    // start undoes that run first; it then fails too and is rolled back in its turn, so the
    // folder shows the state before both runs.
    for (const wchar_t* step : {L"deleted", L"extracting", L"registered"}) {
        SCOPED_TRACE(StringToUtf8(FromWide(step)));
        {
            TEnvironmentOverride end(L"UINST_TEST_END_AT", step);
            const TRunResult run = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
            ASSERT_EQ(run.ExitCode, 99u) << StringToUtf8(run.Log);
        }
        EXPECT_TRUE(TRunJournal::Exists(dest));
        {
            TEnvironmentOverride fault(L"UINST_TEST_FAULT", kDiskFullAtThirdWrite);
            const TRunResult run = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
            EXPECT_EQ(run.ExitCode, 1u) << StringToUtf8(run.Log);
            EXPECT_TRUE(Contains(run.Log, u"was interrupted; rolling it back")) << StringToUtf8(run.Log);
            EXPECT_FALSE(Contains(run.Log, u"Rollback: cannot")) << StringToUtf8(run.Log);
        }
        EXPECT_EQ(Differences(before, WithoutNewArchives(Tree(dest), before)), "");
        EXPECT_EQ(EntryValues(u"ORVO"), entry);
        EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(dest)));
    }

    // Ended after its deletions (the configuration set aside): an update of that folder first puts
    // the installation back, then finds it and updates it.
    {
        TEnvironmentOverride end(L"UINST_TEST_END_AT", L"deleted");
        ASSERT_EQ(RunSetup(u"/AUTO \"" + dest + u"\" /SILENT").ExitCode, 99u);
    }
    const TRunResult update = RunSetup(u"/AUTO=\"" + dest + u"\" /UPDATE /SILENT");
    EXPECT_EQ(update.ExitCode, 0u) << StringToUtf8(update.Log);
    EXPECT_TRUE(Contains(update.Log, u"was interrupted; rolling it back")) << StringToUtf8(update.Log);
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(dest)));

    // Ended after the registration of a fresh installation elsewhere: the next start for that
    // folder takes the half installation away and then installs normally.
    const String second = scratch.Path() + u"Second\\";
    {
        TEnvironmentOverride end(L"UINST_TEST_END_AT", L"registered");
        ASSERT_EQ(RunSetup(u"/AUTO \"" + second + u"\" /SILENT").ExitCode, 99u);
    }
    EXPECT_TRUE(FileExists(second + u"Uninstall.exe"));
    const TRunResult run = RunSetup(u"/AUTO \"" + second + u"\" /SILENT");
    EXPECT_EQ(run.ExitCode, 0u) << StringToUtf8(run.Log);
    EXPECT_TRUE(Contains(run.Log, u"Rollback: removed " + second + u"Uninstall.exe")) << StringToUtf8(run.Log);
    EXPECT_TRUE(FileExists(second + u"ORVO.exe"));
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(second)));
    ForgetInstallation();
}

TEST(Rollback, AFailedUpdateOfTheOlderGenerationGivesBackItsEntryShortcutsAndConfiguration) {
    TTempFolder dest(u"e2e rollback 3900");
    ForgetInstallation();
    const String appData = GetSpecialFolder(CSIDL_APPDATA);
    const String oldProfile = appData + u"ORVO3\\";
    const String newProfile = appData + u"ORVO\\";
    RemoveTree(oldProfile);
    RemoveTree(newProfile);
    WriteTextFile(dest.Path() + u"ORVO3.ini", "[System]\r\nVersion=3900\r\nUserMode=1\r\n");
    WriteTextFile(dest.Path() + u"ORVO3.exe", "old player");
    WriteTextFile(oldProfile + u"ORVO3.ini", "[Player]\r\nVolume=7\r\n");
    {
        auto key = TRegistryKey::Create(HKEY_LOCAL_MACHINE, String(kUninstallKeyPrefix) + u"ORVO3",
                                        KEY_ALL_ACCESS | KEY_WOW64_32KEY);
        key.WriteString(u"InstallPath", dest.Path());
        key.WriteString(u"DisplayName", u"ORVO 3");
    }
    // The start-menu folder stands for the shortcuts: the desktop of a Wine prefix is the home
    // folder, which other prefixes on the machine share.
    const String menuFolder = GetSpecialFolder(CSIDL_STARTMENU) + u"ORVO3\\";
    WriteTextFile(menuFolder + u"ORVO3.lnk", "menu link");
    const auto before = Tree(dest.Path());
    const auto entry = EntryValues(u"ORVO3");
    const std::vector<String> drive = DriveListing();

    TRunResult run;
    {
        TEnvironmentOverride fault(L"UINST_TEST_FAULT", kDiskFullAtThirdWrite);
        run = RunSetup(u"/AUTO \"" + dest.Path() + u"\" /SILENT");
    }
    EXPECT_EQ(run.ExitCode, 1u) << StringToUtf8(RunText(run));
    EXPECT_TRUE(Contains(run.Log, u"ioUpdate")) << StringToUtf8(run.Log);
    EXPECT_EQ(EntryValues(u"ORVO3"), entry);
    EXPECT_EQ(ReadTextFile(menuFolder + u"ORVO3.lnk"), u"menu link") << StringToUtf8(run.Log);
    EXPECT_EQ(ReadTextFile(oldProfile + u"ORVO3.ini"), u"[Player]\r\nVolume=7\r\n");
    EXPECT_FALSE(DirectoryExists(newProfile));
    EXPECT_EQ(Differences(before, WithoutNewArchives(Tree(dest.Path()), before)), "");
    EXPECT_EQ(DriveListing(), drive);

    RemoveTree(oldProfile);
    RemoveTree(menuFolder);
    TInstallerApplicationRepository::Unregister(u"ORVO3");
    ForgetInstallation();
}

// The test runner maps a 5 MB RAM disk as drive R: where the machine allows it (tests/e2e/small-drive).
TEST(Rollback, AnUpdateThatFillsARealDriveLeavesTheInstallationAsItWas) {
    wchar_t drive[8] = {};
    if (!GetEnvironmentVariableW(L"UINST_TEST_SMALL_DRIVE", drive, 8) || !DirectoryExists(FromWide(drive)))
        GTEST_SKIP() << "no small drive: run under tests/e2e/small-drive as root to mount a RAM disk as R:";
    const String dest = FromWide(drive) + u"ORVO\\";
    RemoveTree(dest);
    ForgetInstallation();
    // The installation fits; the update with its new files beside the set-aside old ones does not.
    const TRunResult install = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT");
    ASSERT_EQ(install.ExitCode, 0u) << StringToUtf8(install.Log);
    const auto before = Tree(dest);
    const auto entry = EntryValues(u"ORVO");
    const TRunResult update = RunSetup(u"/AUTO \"" + dest + u"\" /SILENT /NOBACKUP");
    EXPECT_EQ(update.ExitCode, 1u) << StringToUtf8(update.Log);
    EXPECT_TRUE(Contains(update.Log, u"Rollback: restored " + dest)) << StringToUtf8(update.Log);
    EXPECT_EQ(Differences(before, Tree(dest)), "");
    EXPECT_EQ(EntryValues(u"ORVO"), entry);
    EXPECT_FALSE(DirectoryExists(TRunJournal::FolderFor(dest)));
    RemoveTree(dest);
    ForgetInstallation();
}

}  // namespace
}  // namespace uinst::e2e
