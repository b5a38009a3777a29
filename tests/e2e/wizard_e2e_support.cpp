#include "tests/e2e/wizard_e2e_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/registry.h"
#include "tests/e2e/e2e_support.h"

namespace uinst::e2e {

using testing::TWizardDriver;

TSetupProcess::TSetupProcess(const String& parameters)
    : FSuppressesMessageBoxes(Contains(parameters, u"/SUPPRESSMSGBOXES")) {
    const String line = u"\"" + BinFolder() + u"uInstaller.exe\" " + parameters;
    FProcess = StartTestProgram(line);
}

TSetupProcess::~TSetupProcess() {
    if (FProcess && WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(FProcess.Get(), 99);
        WaitForSingleObject(FProcess.Get(), 5000);
    }
}

DWORD TSetupProcess::Id() const {
    return FProcess ? GetProcessId(FProcess.Get()) : 0;
}

DWORD TSetupProcess::Wait(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT && GetTickCount() - start < timeoutMs)
        TWizardDriver::Pump(20);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(FProcess.Get(), &code);
    return code;
}

void ChooseLanguage(const TSetupProcess& setup, TDemoLanguage preselected, std::optional<TDemoLanguage> choice) {
    HWND dialog = TWizardDriver::FindLanguageDialog(setup.Id());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TWizardDriver::Text(dialog), u"Select Language");
    HWND combo = FindWindowExW(dialog, nullptr, L"ComboBoxEx32", nullptr);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    // Item texts do not cross processes: the positions tell the languages apart.
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), preselected);
    if (choice) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(*choice), 0);
    TWizardDriver::Click(GetDlgItem(dialog, IDOK));
}

namespace {

struct TMessageBoxSearch {
    DWORD Process;
    HWND Found = nullptr;
};

BOOL CALLBACK FindMessageBoxOf(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TMessageBoxSearch*>(data);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->Process && lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindMessageBox(DWORD processId, DWORD timeoutMs) {
    TMessageBoxSearch search{processId};
    const DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(FindMessageBoxOf, reinterpret_cast<LPARAM>(&search));
        if (search.Found || GetTickCount() - start > timeoutMs) return search.Found;
        TWizardDriver::Pump(20);
    }
}

String MessageBoxText(HWND box) {
    String text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        GetClassNameW(child, name, 16);
        if (lstrcmpiW(name, L"Static") == 0) text += TWizardDriver::Text(child);
    }
    return text;
}

void CancelThroughTheCloseQuestion(const TSetupProcess& setup, HWND wizard) {
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    HWND box = FindMessageBox(setup.Id());
    ASSERT_NE(box, nullptr);
    TWizardDriver::Click(GetDlgItem(box, IDOK));
}

TRegistryValueGuard::TRegistryValueGuard(HKEY root, const String& path, const String& name)
    : FRoot(root), FPath(path), FName(name) {
    const auto key = TRegistryKey::Open(root, path);
    FKeyExisted = key.has_value();
    DWORD size = 0;
    if (!key || RegQueryValueExW(key->Handle(), WidePtr(name), nullptr, &FType, nullptr, &size) != ERROR_SUCCESS)
        return;
    FData.resize(size);
    FValueExisted =
        RegQueryValueExW(key->Handle(), WidePtr(name), nullptr, &FType, FData.data(), &size) == ERROR_SUCCESS;
    FData.resize(size);
}

TRegistryValueGuard::~TRegistryValueGuard() {
    auto key = TRegistryKey::Create(FRoot, FPath);
    if (FValueExisted)
        RegSetValueExW(key.Handle(), WidePtr(FName), 0, FType, FData.data(), static_cast<DWORD>(FData.size()));
    else
        key.DeleteValue(FName);
    if (!FKeyExisted) RegDeleteKeyW(FRoot, WidePtr(FPath));
}

void TRegistryValueGuard::Set(std::optional<uint32_t> value) const {
    auto key = TRegistryKey::Create(FRoot, FPath);
    if (value)
        key.WriteDWord(FName, *value);
    else
        key.DeleteValue(FName);
}

String ScreenshotFile(const char* name) {
    const String folder = BinFolder() + u"..\\screenshots\\";
    CreateDirectoryW(WidePtr(folder), nullptr);
    return folder + u"e2e_" + Utf8ToString(name) + u".png";
}

void Shot(const TWizardDriver& d, const char* name) {
    d.ScreenCapture(ScreenshotFile(name));
}

}  // namespace uinst::e2e
