#include "engine/installer_script.h"

#include <gtest/gtest.h>

namespace uinst {
namespace {

std::unique_ptr<TInstallerScript> Load(const std::string& xml) {
    TMemoryStream stream(xml.data(), xml.size());
    auto script = std::make_unique<TInstallerScript>();
    script->LoadFromStream(stream);
    return script;
}

TEST(InstallerScript, ReadsGroupsEntriesAndSettings) {
    const auto loaded = Load(R"(<root>
  <setup><license><File name="EULA.rtf"/><File name="EULA.ru.rtf" lang-family="RU"/></license></setup>
  <product>
    <components>
      <File name="$DEST\ORVO.exe"/>
      <File name="$DEST\Help\Help.txt" lang-family="RU">Help.ru.txt</File>
      <Component name="ignored"/>
    </components>
    <Component><File name="ignored"/></Component>
    <Actions><File name="$DEST\ORVO.exe">RunPlayer</File></Actions>
    <Settings><A name="ProductName" value="ORVO"/><B name="productname" value="ORVO Player"/><C name="Empty"/></Settings>
    <Shortcuts><File name="$DESKTOP\ORVO.lnk">$DEST\ORVO.exe</File></Shortcuts>
    <Components>$DEST\Extra.dll</Components>
  </product>
  <product><Components><File name="never"/></Components></product>
</root>)");
    const TInstallerScript& script = *loaded;
    ASSERT_EQ(script.Components().Count(), 3);
    EXPECT_EQ(script.Components().Items(0).SourceName(), u"ORVO.exe");
    EXPECT_EQ(script.Components().Items(1).SourceName(), u"Help.ru.txt");
    EXPECT_EQ(script.Components().Items(1).LangFamily, u"RU");
    EXPECT_EQ(script.Components().Items(2).Name, u"$DEST\\Extra.dll");  // a group written as text
    EXPECT_EQ(script.Actions().Items(0).Value, u"RunPlayer");
    EXPECT_EQ(script.Shortcuts().Items(0).Value, u"$DEST\\ORVO.exe");
    EXPECT_EQ(script.GetSetting(u"PRODUCTNAME"), u"ORVO Player");  // the later pair wins
    EXPECT_EQ(script.GetSetting(u"Empty"), u"");
    EXPECT_EQ(script.GetSetting(u"Missing"), u"");
    const TInstallerScriptFile* license = nullptr;
    ASSERT_TRUE(script.License().Find(u"ru", license));
    EXPECT_EQ(license->Name, u"EULA.rtf");  // an entry without a family applies to all
}

TEST(InstallerScript, MissingPartsGiveEmptyGroups) {
    const auto loaded = Load("<x><setup><license><File name=\"L.rtf\" lang-family=\"EN\"/></license></setup></x>");
    const TInstallerScript& noProduct = *loaded;
    EXPECT_EQ(noProduct.License().Count(), 1);
    EXPECT_EQ(noProduct.Components().Count(), 0);
    EXPECT_TRUE(noProduct.Settings().Empty());
    const TInstallerScriptFile* entry = nullptr;
    EXPECT_FALSE(noProduct.License().Find(u"RU", entry));
    EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(Load("")->Components().Count(), 0);
    EXPECT_EQ(Load("no markup at all")->Actions().Count(), 0);
}

}  // namespace
}  // namespace uinst
