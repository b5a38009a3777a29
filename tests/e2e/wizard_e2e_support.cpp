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

void CancelThroughTheCloseQuestion(const TSetupProcess& setup, HWND wizard) {
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    HWND box = TWizardDriver::FindMessageBox(setup.Id());
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
