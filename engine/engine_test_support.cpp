#include "engine/engine_test_support.h"

#include <windows.h>

#include <atomic>

#include "base/text_case.h"
#include "platform/files.h"

namespace uinst::test {

std::unique_ptr<TSetupPackageReader> MakePackage(const TFiles& files) {
    TSetupPackageBuilder builder(SetupPackageKey);
    for (const auto& [name, bytes] : files) {
        TMemoryStream file(bytes.data(), bytes.size());
        builder.Add(file, name);
    }
    TMemoryStream package;
    builder.Commit(package, 1);
    package.SetPosition(0);
    return std::make_unique<TSetupPackageReader>(package);
}

std::string DefaultScript() {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<install>
  <setup><license><File name="License.rtf"/><File name="License.ru.rtf" lang-family="RU"/></license></setup>
  <product>
    <Settings>
      <Item name="ProductName" value="TestPlayer"/>
      <Item name="Publisher" value="Test Works"/>
      <Item name="HomePage" value="https://example.invalid/"/>
      <Item name="ProductVersion" value="5.03"/>
      <Item name="ProductVersionId" value="5030"/>
      <Item name="BuildDate" value="2026-12-01"/>
      <Item name="ProductVersionNo" value="5.0.3"/>
    </Settings>
    <Components>
      <File name="$DEST\Player.exe"/>
      <File name="$DEST\Help\Help.ru.txt" lang-family="RU">Help.txt</File>
    </Components>
    <Actions>
      <File name="$DEST\Player.exe">RunPlayer</File>
      <File name="$DEST\Readme.txt"/>
    </Actions>
    <Shortcuts><File name="$DESKTOP\TestPlayer.lnk">$DEST\Player.exe</File></Shortcuts>
  </product>
</install>
)";
}

std::string EnglishTexts() {
    return "[File]\r\nName=English\r\nLangId=1033\r\nFamily=EN\r\n"
           "[Common]\r\nE4=The installation was cancelled.\r\nA8=Closing programs\r\n"
           "E8=Still running: %s\r\nE1=Cannot write %s\r\nE3=Cannot create %s\r\nE10=Refused %s: %s\r\nQM2=%s is in "
           "use\r\nQ1=Close them and "
           "retry.\r\nCaption=$NAME Setup\r\n"
           "Greeting=Welcome to $NAME\\n$VERSION\r\n";
}

TFiles DefaultSetupFiles() {
    return {{u"Install.xml", DefaultScript()},
            {u"English.lng", EnglishTexts()},
            {u"Russian.lng", "[File]\r\nName=Russian\r\nLangId=1049\r\nFamily=RU\r\n[Common]\r\nA8=Closing\r\n"},
            {u"License.rtf", "{\\rtf1 EN}"},
            {u"License.ru.rtf", "{\\rtf1 RU}"}};
}

namespace {
std::function<void(TTestProduct&)> gConfigure;
TTestProduct* gProduct = nullptr;
}  // namespace

void UseTestProduct(std::function<void(TTestProduct&)> configure) {
    gConfigure = std::move(configure);
    ProductInfoClass = [] {
        auto product = std::make_unique<TTestProduct>();
        if (gConfigure) gConfigure(*product);
        gProduct = product.get();
        return std::unique_ptr<TInstallerProductInfo>(std::move(product));
    };
}

TTestProduct& Product() {
    return *gProduct;
}

std::unique_ptr<TInstaller> MakeInstaller(const String& commandLine, const TFiles& setupFiles,
                                          const TFiles& productFiles) {
    if (!ProductInfoClass) UseTestProduct();
    auto resources = std::make_unique<TInstallerResources>(MakePackage(setupFiles), MakePackage(productFiles));
    auto installer = std::make_unique<TInstaller>(commandLine, std::move(resources));
    installer->Resources().LoadLanguageFile(u"English.lng");
    return installer;
}

}  // namespace uinst::test
