#pragma once
// Test helpers: packages built in memory, a configurable product and an installer made of them.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/product_info.h"
#include "package/setup_package.h"
#include "platform/file_test_support.h"

namespace uinst::test {

using TFiles = std::vector<std::pair<String, std::string>>;

std::unique_ptr<TSetupPackageReader> MakePackage(const TFiles& files);

// A small script: product "TestPlayer" 5.03 with two components (one Russian only), two run
// entries, shortcuts and licences.
std::string DefaultScript();
// English texts with the keys the engine reads ("Common": E4, A8, E8, Q1, Caption, Greeting).
std::string EnglishTexts();
TFiles DefaultSetupFiles();

// A product whose installed state the test sets.
class TTestProduct : public TInstallerProductInfo {
public:
    int InstalledVersion = 0;
    bool Portable = false;
    int Loads = 0;
    std::vector<TInstallerActionClass> Classes;

    bool CanUpdate() override { return InstalledVersion >= 3500 && InstalledVersion <= 5099; }
    bool IsPortable() override { return Portable; }
    int GetInstalledVersion() override { return InstalledVersion; }
    void Load() override { ++Loads; }
    void PopulateActions(const TInstallerActionClassProc& proc) override {
        for (const auto& c : Classes) proc(c);
    }
};

// Makes the installer's product a TTestProduct that the configure function prepares before the
// command line is read.
void UseTestProduct(std::function<void(TTestProduct&)> configure = nullptr);
TTestProduct& Product();

// Hears an installer's notifications: every code with its parameter, and the status texts.
class TNotifyRecorder : public IInstallerNotify {
public:
    std::vector<std::pair<int, intptr_t>> Events;
    std::vector<String> Texts;
    void Notify(int code, intptr_t param) override {
        Events.emplace_back(code, param);
        if (code == kNotifyStatus) Texts.push_back(*reinterpret_cast<const String*>(param));
    }
    std::vector<intptr_t> Params(int code) const {
        std::vector<intptr_t> out;
        for (const auto& [c, p] : Events)
            if (c == code) out.push_back(p);
        return out;
    }
};

std::unique_ptr<TInstaller> MakeInstaller(const String& commandLine, const TFiles& setupFiles = DefaultSetupFiles(),
                                          const TFiles& productFiles = {});

}  // namespace uinst::test
