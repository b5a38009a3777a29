#include "engine/installer_resources.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/engine_test_support.h"
#include "engine/installer_errors.h"
#include "engine/language_choice.h"
#include "formats/ini_file.h"
#include "platform/files.h"

namespace uinst {
namespace {

using namespace test;

TEST(CleanPath, DropsEmptyPartsAndCharactersNamesCannotHold) {
    EXPECT_EQ(CleanPath(u"C:\\Dest\\sub\\\\dir\\\\"), u"C:\\Dest\\sub\\dir\\");
    EXPECT_EQ(CleanPath(u"C:\\a?b*c:d\\e|f"), u"C:\\abcd\\ef");
    EXPECT_EQ(CleanPath(u"C:\\name. . \\  lead\\x"), u"C:\\name\\lead\\x");
    EXPECT_EQ(CleanPath(u"C:\\\"quoted\"\\"), u"C:\\'quoted'\\");
    EXPECT_EQ(CleanPath(u"\\\\server\\share\\\\x"), u"\\\\server\\share\\x");
    EXPECT_EQ(CleanPath(u"relative\\..\\x"), u"relative\\.\\x");
    EXPECT_EQ(CleanPath(u"C:"), u"C:\\");
    EXPECT_EQ(CleanFileName(String(300, u'a')).size(), 255u);
    EXPECT_EQ(CleanFileName(u"..."), u".");
}

TEST(Resources, FilesComeFromTheProductPackageFirst) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\X", DefaultSetupFiles(), {{u"License.rtf", "product copy"}});
    auto file = installer->Resources().GetFile(u"LICENSE.RTF");
    EXPECT_EQ(std::string(file->Bytes().begin(), file->Bytes().end()), "product copy");
    try {
        installer->Resources().GetFile(u"Missing.txt");
        FAIL();
    } catch (const EInstallerInstallError& e) {
        EXPECT_EQ(e.Message(), u"Cannot locate \"Missing.txt\" file in setup archive");
    }
    TFiles noScript = {{u"English.lng", EnglishTexts()}};
    EXPECT_THROW(MakeInstaller(u"", noScript), EInstallerInstallError);
}

TEST(Resources, LanguagesAreListedInLogicalOrder) {
    UseTestProduct();
    TFiles files = DefaultSetupFiles();
    files.push_back({u"Lang10.LNG", "[File]\r\nName=Ten\r\n"});
    files.push_back({u"Lang9.lng", "[File]\r\nName=Nine\r\n"});
    files.push_back({u"notes.lngx", ""});
    auto installer = MakeInstaller(u"/AUTO=C:\\X", files);
    EXPECT_EQ(installer->Resources().Languages().Text(), u"English.lng\r\nLang9.lng\r\nLang10.LNG\r\nRussian.lng\r\n");
}

TEST(Resources, TextsExpandVariablesAndFallBackToEnglish) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\Dest");
    TInstallerResources& r = installer->Resources();
    r.LoadLanguageFile(u"Russian.lng");
    EXPECT_EQ(r.LanguageName(), u"Russian");
    EXPECT_EQ(r.GetLanguageFamily(), u"RU");
    EXPECT_EQ(r.GetText(u"Common", u"A8"), u"Closing");                          // the chosen language wins
    EXPECT_EQ(r.GetText(u"Common", u"E4"), u"The installation was cancelled.");  // English fills gaps
    EXPECT_EQ(r.GetText(u"Common", u"Greeting"), u"Welcome to TestPlayer\r\n5.03, 2026-12-01");
    EXPECT_EQ(r.GetText(u"Common", u"Missing"), u"");
    EXPECT_EQ(r.ExpandPath(u"$DEST\\sub\\\\dir\\\\"), u"C:\\Dest\\sub\\dir\\");
    EXPECT_EQ(r.ExpandVariables(u"$DESTINATION"), u"C:\\Dest\\INATION");
    // A folder or file name that begins with "n" is no line break in a path.
    EXPECT_EQ(r.ExpandPath(u"$DEST\\Plugins\\normalizer.dll"), u"C:\\Dest\\Plugins\\normalizer.dll");
    EXPECT_EQ(r.ExpandVariables(u"$TEMP"), GetTempFolder());
    auto license = r.GetLicense();
    ASSERT_TRUE(license);
    EXPECT_EQ(std::string(license->Bytes().begin(), license->Bytes().end()), "{\\rtf1 EN}");  // no family: first
}

TEST(Resources, LicenceFallsBackToEnglishFamily) {
    UseTestProduct();
    TFiles files = DefaultSetupFiles();
    files[0].second =
        "<i><setup><license><File name=\"License.ru.rtf\" lang-family=\"RU\"/>"
        "<File name=\"License.rtf\" lang-family=\"EN\"/></license></setup></i>";
    files.push_back({u"German.lng", "[File]\r\nFamily=DE\r\n"});
    auto installer = MakeInstaller(u"/AUTO=C:\\X", files);
    installer->Resources().LoadLanguageFile(u"German.lng");
    auto license = installer->Resources().GetLicense();
    ASSERT_TRUE(license);
    EXPECT_EQ(std::string(license->Bytes().begin(), license->Bytes().end()), "{\\rtf1 EN}");
}

TEST(LanguageChoice, PrefersTheUserLanguageThenEnglishThenTheFirst) {
    TLanguageChoice choice;
    choice.Insert({u"Russian", 1049, 0, nullptr});
    choice.Insert({u"english", 1033, 1, nullptr});
    choice.Insert({u"English", 2057, 2, nullptr});  // equal names keep their order
    choice.Insert({u"Deutsch", 1031, 3, nullptr});
    ASSERT_EQ(choice.Items().size(), 4u);
    EXPECT_EQ(choice.Items()[0].Name, u"Deutsch");
    EXPECT_EQ(choice.Items()[1].Index, 1);
    EXPECT_EQ(choice.Items()[2].Index, 2);
    EXPECT_EQ(choice.SelectDefault(1049), 3);
    EXPECT_EQ(choice.SelectDefault(1041), 1);
    TLanguageChoice noEnglish;
    noEnglish.Insert({u"Russian", 1049, 0, nullptr});
    noEnglish.Insert({u"Deutsch", 1031, 1, nullptr});
    EXPECT_EQ(noEnglish.SelectDefault(1041), 0);
    EXPECT_EQ(TLanguageChoice().SelectDefault(1033), -1);
}

TEST(LanguageChoice, ReadsTheLanguageFilesOfTheSetupPackage) {
    UseTestProduct();
    auto installer = MakeInstaller(u"/AUTO=C:\\X");
    const TLanguageChoice choice = TLanguageChoice::FromResources(installer->Resources());
    ASSERT_EQ(choice.Items().size(), 2u);
    EXPECT_EQ(choice.Items()[0].Name, u"English");
    EXPECT_EQ(choice.Items()[1].LangId, 1049);
}

// Language files of the given display names and ids, in this order in the package.
std::string LanguageFile(const std::string& name, int langId) {
    return "[File]\r\nName=" + name + "\r\nLangId=" + std::to_string(langId) + "\r\n";
}

String ChooseAmong(const TFiles& languages) {
    TFiles setup{{u"Install.xml", DefaultScript()}};
    setup.insert(setup.end(), languages.begin(), languages.end());
    TInstallerResources resources(MakePackage(setup), MakePackage({}));
    return ChooseLanguage(resources, true);
}

TEST(LanguageChoice, TheUsersLanguageElseEnglishElseTheFirstByName) {
    // Ids 2 and 3 are no user's language.
    const int user = static_cast<int>(GetUserDefaultUILanguage());
    ASSERT_GT(user, 3);
    // Sorted by display name, the second file comes first.
    EXPECT_EQ(ChooseAmong({{u"A.lng", LanguageFile("Zulu", 2)}, {u"B.lng", LanguageFile("Alpha", 3)}}), u"B.lng");
    EXPECT_EQ(ChooseAmong({{u"A.lng", LanguageFile("Zulu", 2)},
                           {u"English.lng", LanguageFile("English", 1033)},
                           {u"B.lng", LanguageFile("Alpha", 3)}}),
              u"English.lng");
    // The user's own language wins over the first by name (and over English, unless it is English).
    EXPECT_EQ(ChooseAmong({{u"A.lng", LanguageFile("Alpha", 2)}, {u"Mine.lng", LanguageFile("Mine", user)}}),
              u"Mine.lng");
    EXPECT_EQ(ChooseAmong({}), u"English.lng");
}

}  // namespace
}  // namespace uinst
