#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <optional>
#include <thread>

#include "engine/engine_test_support.h"
#include "engine/installer_resources.h"
#include "engine/summary_builder.h"
#include "formats/ini_file.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/message_window.h"
#include "platform/seams.h"
#include "product/action_shortcuts.h"
#include "product/action_update_shell_cache.h"
#include "product/shell_link.h"

namespace uinst {
namespace {

using namespace test;

void WriteText(const String& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}

FILETIME LastWriteTime(const String& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetLastWriteTime(const String& path, FILETIME time) {
    const TUniqueFile file(CreateFileW(WidePtr(path), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    SetFileTime(file.Get(), nullptr, nullptr, &time);
}

TEST(ShellLink, CreatesLinksToExistingTargetsAndReadsThemBack) {
    TTempFolder folder;
    const String target = folder.Path() + u"Player.exe";
    const String other = folder.Path() + u"Other.exe";
    WriteText(target, "MZ");
    WriteText(other, "MZ");
    const String link = folder.Path() + u"Player.lnk";
    ASSERT_TRUE(CreateShellLink(link, target));
    EXPECT_EQ(GetShellLinkTarget(link), target);
    // An existing link is replaced.
    ASSERT_TRUE(CreateShellLink(link, other));
    EXPECT_EQ(GetShellLinkTarget(link), other);

    // No link to a missing target, and nothing written.
    EXPECT_FALSE(CreateShellLink(folder.Path() + u"Missing.lnk", folder.Path() + u"Missing.exe"));
    EXPECT_FALSE(FileExists(folder.Path() + u"Missing.lnk"));
    // A link into a folder that does not exist fails without an exception.
    EXPECT_FALSE(CreateShellLink(folder.Path() + u"No folder\\Player.lnk", target));

    // Whatever is not a readable link has no target.
    WriteText(folder.Path() + u"Text.lnk", "not a link");
    EXPECT_EQ(GetShellLinkTarget(folder.Path() + u"Text.lnk"), u"");
    EXPECT_EQ(GetShellLinkTarget(folder.Path() + u"Absent.lnk"), u"");
    EXPECT_EQ(GetShellLinkTarget(u""), u"");
}

TEST(ShellLink, WorksOnAThreadOfItsOwn) {
    // The worker thread initialises COM itself; a fresh thread must not depend on the caller's.
    TTempFolder folder;
    const String target = folder.Path() + u"Player.exe";
    WriteText(target, "MZ");
    String read;
    std::thread thread([&] {
        if (CreateShellLink(folder.Path() + u"Player.lnk", target))
            read = GetShellLinkTarget(folder.Path() + u"Player.lnk");
    });
    thread.join();
    EXPECT_EQ(read, target);
}

TEST(ShortcutsAction, TargetExtension) {
    EXPECT_EQ(TInstallerActionShortcuts::TargetExtension(u"$DEST\\ORVO.exe"), u".exe");
    EXPECT_EQ(TInstallerActionShortcuts::TargetExtension(u"$DEST\\Readme.TXT"), u".TXT");
    EXPECT_EQ(TInstallerActionShortcuts::TargetExtension(u"$DEST\\v1.2\\Player"), u"");
    EXPECT_EQ(TInstallerActionShortcuts::TargetExtension(u"$DEST\\Player.exe /x"), u"");
    EXPECT_EQ(TInstallerActionShortcuts::TargetExtension(u"C:Player"), u"");
    EXPECT_EQ(TInstallerActionShortcuts::TargetExtension(u"Player"), u"");
}

// Shortcuts on the test prefix's real desktop and start menu, under names of this process, removed
// when the test ends.
class ShortcutsRun : public ::testing::Test {
protected:
    void SetUp() override {
        Tag = u"uinst test " + Utf8ToString(std::to_string(GetCurrentProcessId()));
        UseTestProduct([](TTestProduct& p) {
            p.Classes = {ActionClassOf<TInstallerActionShortcuts>(u"TInstallerActionShortcuts")};
        });
    }
    void TearDown() override {
        if (Desktop.empty()) return;
        for (const char16_t* name : {u"Player", u"Mixed", u"Readme", u"Missing", u"Relative"})
            DeleteFileW(WidePtr(Desktop + Tag + u" " + name + u".lnk"));
        DeleteFileW(WidePtr(StartMenu + Tag + u"\\Player.lnk"));
        RemoveDirectoryW(WidePtr(StartMenu + Tag));
    }

    // Runs the action as a run does, on the worker thread.
    std::unique_ptr<TInstaller> Run(const String& switches, const std::function<void(TInstaller&)>& prepare = {}) {
        const std::string tag = StringToUtf8(Tag);
        const std::string script =
            "<install><product><Settings><Item name=\"ProductName\" value=\"TestPlayer\"/></Settings><Shortcuts>"
            "<File name=\"$DESKTOP\\" +
            tag +
            " Player.lnk\">$DEST\\Player.exe</File>"
            "<File name=\"$STARTMENU\\" +
            tag +
            "\\Player.lnk\">$DEST\\Player.exe</File>"
            "<File name=\"$Desktop\\" +
            tag +
            " Mixed.lnk\">$DEST\\Player.exe</File>"
            "<File name=\"$DESKTOP\\" +
            tag +
            " Readme.lnk\">$DEST\\Readme.txt</File>"
            "<File name=\"$DESKTOP\\" +
            tag +
            " Missing.lnk\">$DEST\\Missing.exe</File>"
            "<File name=\"$DESKTOP\\" +
            tag +
            " Relative.lnk\">Player.exe</File>"
            "<File name=\"$DEST\\Elsewhere.lnk\">$DEST\\Player.exe</File>"
            "</Shortcuts></product></install>";
        TFiles setup = DefaultSetupFiles();
        setup[0].second = script;
        // Written once: Wine's menu builder may still be reading a target that got a link.
        if (!FileExists(Dest.Path() + u"Player.exe")) WriteText(Dest.Path() + u"Player.exe", "MZ");
        if (!FileExists(Dest.Path() + u"Readme.txt")) WriteText(Dest.Path() + u"Readme.txt", "read me");
        auto installer = MakeInstaller(u"/AUTO=\"" + Dest.Path() + u"\" /SILENT " + switches, setup);
        Desktop = installer->Resources().DesktopFolder();
        StartMenu = installer->Resources().StartMenuFolder();
        if (prepare) prepare(*installer);
        // From inside the destination, a relative name or target would resolve to something.
        wchar_t saved[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, saved);
        SetCurrentDirectoryW(WidePtr(Dest.Path()));
        installer->Start(true);
        SetCurrentDirectoryW(saved);
        EXPECT_FALSE(installer->HasErrors()) << StringToUtf8(installer->Log().Text());
        return installer;
    }
    String Link(const char16_t* name) const { return Desktop + Tag + u" " + name + u".lnk"; }
    String StartMenuLink() const { return StartMenu + Tag + u"\\Player.lnk"; }

    TTempFolder Dest;
    String Tag, Desktop, StartMenu;
};

TEST_F(ShortcutsRun, MakesTheChosenPlacesShortcutsToProgramsOnWindows10) {
    TSeamOverride version(Seams().OSVersion, std::function<TOSVersion()>([] { return TOSVersion{10, 0, 19045}; }));
    Run(u"");
    const String player = Dest.Path() + u"Player.exe";
    EXPECT_EQ(GetShellLinkTarget(Link(u"Player")), player);
    EXPECT_EQ(GetShellLinkTarget(StartMenuLink()), player);  // its folder made on the way
    // The root is matched without regard to case, and the link lands on the desktop itself.
    EXPECT_EQ(GetShellLinkTarget(Link(u"Mixed")), player);
    EXPECT_FALSE(DirectoryExists(Dest.Path() + u"$Desktop"));
    EXPECT_FALSE(FileExists(Link(u"Readme")));                 // not a program
    EXPECT_FALSE(FileExists(Link(u"Missing")));                // no target
    EXPECT_FALSE(FileExists(Link(u"Relative")));               // would point nowhere
    EXPECT_FALSE(FileExists(Dest.Path() + u"Elsewhere.lnk"));  // not a chosen place
}

TEST_F(ShortcutsRun, OlderWindowsGetShortcutsToDocumentsToo) {
    TSeamOverride version(Seams().OSVersion, std::function<TOSVersion()>([] { return TOSVersion{6, 1, 7601}; }));
    Run(u"");
    EXPECT_EQ(GetShellLinkTarget(Link(u"Readme")), Dest.Path() + u"Readme.txt");
    EXPECT_FALSE(FileExists(Link(u"Relative")));
}

TEST_F(ShortcutsRun, OnlyTheChosenRoots) {
    Run(u"", [](TInstaller& i) { i.Settings().WriteBool(u"Integration", u"ShortcutDesktop", false); });
    EXPECT_FALSE(FileExists(Link(u"Player")));
    EXPECT_FALSE(FileExists(Link(u"Mixed")));
    EXPECT_TRUE(FileExists(StartMenuLink()));
}

TEST_F(ShortcutsRun, PortableRunsMakeShortcutsOnlyWhenTheSettingsAskForThem) {
    Run(u"/PORTABLE");
    EXPECT_FALSE(FileExists(Link(u"Player")));
    EXPECT_FALSE(FileExists(StartMenuLink()));
    Run(u"/PORTABLE", [](TInstaller& i) { i.Settings().WriteBool(u"Integration", u"ShortcutDesktop", true); });
    EXPECT_TRUE(FileExists(Link(u"Player")));
    EXPECT_FALSE(FileExists(StartMenuLink()));
}

TEST_F(ShortcutsRun, AnUnchangedShortcutIsLeftAloneAndAChangedOneReplaced) {
    Run(u"");
    const String link = Link(u"Player");
    ASSERT_TRUE(FileExists(link));
    const FILETIME old{0x12345678, 0x01C00000};  // long ago
    SetLastWriteTime(link, old);
    Run(u"");
    const FILETIME now = LastWriteTime(link);
    EXPECT_EQ(CompareFileTime(&old, &now), 0);

    WriteText(Dest.Path() + u"Old.exe", "MZ");
    ASSERT_TRUE(CreateShellLink(link, Dest.Path() + u"Old.exe"));
    Run(u"");
    EXPECT_EQ(GetShellLinkTarget(link), Dest.Path() + u"Player.exe");
}

TEST(ShortcutsAction, ReportsItsStatusAndProgress) {
    UseTestProduct();
    TTempFolder dest;
    TFiles setup = DefaultSetupFiles();
    // Three shortcuts outside the chosen places: each one is a step, and none is made.
    setup[0].second =
        "<install><product><Settings><Item name=\"ProductName\" value=\"TestPlayer\"/></Settings>"
        "<Shortcuts><File name=\"$DEST\\A.lnk\">$DEST\\A.exe</File>"
        "<File name=\"$DEST\\B.lnk\">$DEST\\B.exe</File><File name=\"$DEST\\C.lnk\">$DEST\\C.exe</File>"
        "</Shortcuts></product></install>";
    setup[1].second += "A2=Creating shortcuts\r\n";  // [Common] is the last section
    auto installer = MakeInstaller(u"/AUTO=\"" + dest.Path() + u"\" /SILENT", setup);
    TNotifyRecorder recorder;
    installer->AddListener(&recorder);
    TInstallerActionShortcuts action;
    std::vector<int> steps;
    action.SetOnProgress([&](TInstallerAction& a) { steps.push_back(a.Progress()); });
    installer->Settings().WriteBool(u"Integration", u"ShortcutStartMenu", false);
    action.Execute();
    installer->RemoveListener(&recorder);
    EXPECT_EQ(recorder.Texts, std::vector<String>{u"Creating shortcuts"});
    EXPECT_EQ(steps, (std::vector<int>{33, 67, 100}));
    ASSERT_EQ(action.Roots().Count(), 1);
    EXPECT_EQ(action.Roots()[0], u"$DESKTOP");
}

TEST(ShortcutsAction, SummaryNamesTheChosenPlaces) {
    UseTestProduct();
    TFiles setup = DefaultSetupFiles();
    setup[1].second += "[PageIntegration]\r\nLB1=Shortcuts\r\nCB1=On the desktop\r\nCB2=In the start menu\r\n";
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT", setup);
    {
        TInstallerSummaryBuilder builder;
        TInstallerActionShortcuts().BuildSummary(builder);
        EXPECT_EQ(builder.ToString(), u"Shortcuts\r\n    On the desktop\r\n    In the start menu\r\n");
    }
    installer->Settings().WriteBool(u"Integration", u"ShortcutDesktop", false);
    {
        TInstallerSummaryBuilder builder;
        TInstallerActionShortcuts().BuildSummary(builder);
        EXPECT_EQ(builder.ToString(), u"Shortcuts\r\n    In the start menu\r\n");
    }
    installer.reset();
    installer = MakeInstaller(u"/AUTO=C:\\X /SILENT /PORTABLE", setup);
    TInstallerSummaryBuilder builder;
    TInstallerActionShortcuts().BuildSummary(builder);
    EXPECT_EQ(builder.ToString(), u"");  // no place, no heading
}

// A window of this thread registered for the shell's change notifications, and what it heard.
class TShellChangeListener {
public:
    static constexpr UINT kMessage = WM_APP + 17;

    explicit TShellChangeListener(LONG events)
        : FWindow(u"TestShellChangeListener", [this](UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
              if (message != kMessage) return std::nullopt;
              Events.push_back(static_cast<LONG>(lParam));
              return 0;
          }) {
        SHChangeNotifyEntry entry{nullptr, TRUE};  // every item
        FId = SHChangeNotifyRegister(FWindow.Handle(), SHCNRF_ShellLevel | SHCNRF_InterruptLevel, events, kMessage, 1,
                                     &entry);
    }
    ~TShellChangeListener() {
        if (FId) SHChangeNotifyDeregister(FId);
    }
    bool Registered() const { return FId != 0; }
    // Dispatches what was posted to this thread until something was heard or the time is up.
    void WaitForEvents(DWORD timeoutMs) {
        for (DWORD waited = 0; Events.empty() && waited < timeoutMs; waited += 10) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (Events.empty()) Sleep(10);
        }
    }

    std::vector<LONG> Events;

private:
    TMessageWindow FWindow;
    ULONG FId = 0;
};

TEST(UpdateShellCache, TellsTheShellThatAssociationsChangedAndGivesItASecond) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\X /SILENT");
    std::vector<uint32_t> sleeps;
    TSeamOverride sleep(Seams().Sleep, std::function<void(uint32_t)>([&](uint32_t ms) { sleeps.push_back(ms); }));
    TShellChangeListener listener(SHCNE_ASSOCCHANGED);
    ASSERT_TRUE(listener.Registered());
    TInstallerActionUpdateShellCache().Execute();
    listener.WaitForEvents(5000);
    ASSERT_FALSE(listener.Events.empty()) << "the shell heard nothing";
    EXPECT_EQ(listener.Events[0] & SHCNE_ASSOCCHANGED, SHCNE_ASSOCCHANGED);
    EXPECT_EQ(sleeps, std::vector<uint32_t>{1000});
}

}  // namespace
}  // namespace uinst
