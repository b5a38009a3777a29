#include "formats/localization.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "base/code_page.h"

namespace uinst {
namespace {

namespace fs = std::filesystem;

// A language folder of its own; the library's settings are put back afterwards.
class LocalizationTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        FFolder = fs::temp_directory_path() / (std::string("uinst_lng_") + info->name());
        fs::remove_all(FFolder);
        fs::create_directories(FFolder);
        FSavedFolder = LanguageFolder();
        SetLanguageFolder(FFolder.u16string());
    }
    void TearDown() override {
        SetLanguageFolder(FSavedFolder);
        SetAnsiCodePageSetting(0);
        SharedLocalization().Clear();
        std::error_code ec;
        fs::remove_all(FFolder, ec);
    }
    void WriteLanguage(const char* name, const std::string& text) const {
        TMemoryStream(text.data(), text.size()).SaveToFile((FFolder / name).u16string());
    }

    fs::path FFolder;
    String FSavedFolder;
};

TEST(LanguageFolder, IsBesideTheExecutable) {
    const String folder = LanguageFolder();
    ASSERT_GE(folder.size(), 6u);
    EXPECT_EQ(folder.substr(folder.size() - 6, 5), u"Langs");
    EXPECT_TRUE(folder.back() == u'\\' || folder.back() == u'/');
}

TEST_F(LocalizationTest, BackslashNBecomesALineBreak) {
    TORLLocalization lng;
    lng.LoadFromText(u"[Page]\r\nText=One\\nTwo\\n\r\nPlain=a\\b\r\n");
    EXPECT_EQ(lng.ReadString(u"Page", u"Text", u""), u"One\r\nTwo\r\n");
    EXPECT_EQ(lng.ReadString(u"Page", u"Plain", u""), u"a\\b");
    EXPECT_EQ(lng.ReadString(u"Page", u"Missing", u"def"), u"def");
    // The plain INI reading of the same text keeps the pair.
    TORLIniFile ini;
    ini.LoadFromText(u"[Page]\r\nText=One\\nTwo\r\n");
    EXPECT_EQ(ini.ReadString(u"Page", u"Text", u""), u"One\\nTwo");
    // Merging copies the stored text, so the pair stays one line.
    ini.Merge(lng, true);
    EXPECT_EQ(ini.ReadSectionText(u"Page"), u"Text=One\\nTwo\\n\r\nPlain=a\\b\r\n");
}

TEST_F(LocalizationTest, EnglishFillsTheGapsOfOtherLanguages) {
    WriteLanguage("English.lng", "[File]\r\nName=English\r\n[Common]\r\nA1=Next\r\nA2=Back\r\n[Only]\r\nx=1\r\n");
    WriteLanguage("German.lng", "[File]\r\nName=Deutsch\r\n[Common]\r\nA1=Weiter\r\n");
    WriteLanguage("RUSSIAN.LNG", "[File]\r\nName=Russian\r\n[Common]\r\nA1=Next-ru\r\n");

    TORLLocalization german(u"German.lng");
    EXPECT_EQ(german.ReadString(u"Common", u"A1", u""), u"Weiter");
    EXPECT_EQ(german.ReadString(u"Common", u"A2", u""), u"Back");
    EXPECT_EQ(german.ReadString(u"Only", u"x", u""), u"1");
    EXPECT_EQ(german.ReadString(u"File", u"Name", u""), u"Deutsch");
    EXPECT_FALSE(german.Modified());

    TORLLocalization russian;
    russian.LoadFromFile(u"RUSSIAN.LNG");  // the name is compared without case
    EXPECT_EQ(russian.ReadString(u"Common", u"A1", u""), u"Next-ru");
    EXPECT_FALSE(russian.KeyExists(u"Common", u"A2"));
    EXPECT_FALSE(russian.SectionExists(u"Only"));

    TORLLocalization english(u"English.lng");
    EXPECT_EQ(english.ReadString(u"Common", u"A2", u""), u"Back");

    // Without English in the folder the gaps stay empty, and nothing is raised.
    fs::remove(FFolder / "English.lng");
    TORLLocalization alone(u"German.lng");
    EXPECT_FALSE(alone.KeyExists(u"Common", u"A2"));
    TORLLocalization missing(u"Missing.lng");
    EXPECT_TRUE(missing.IsEmpty());
}

TEST_F(LocalizationTest, AnsiCodePageFollowsTheLanguage) {
    WriteLanguage("Russian.lng", "[File]\r\nName=Russian\r\nANSICP=1251\r\n");
    WriteLanguage("Plain.lng", "[File]\r\nName=Plain\r\n");
    TORLLocalization lng(u"Russian.lng");
    EXPECT_EQ(AnsiCodePageSetting(), 1251);
    EXPECT_EQ(EffectiveAnsiCodePage(), 1251u);
    // Later 8-bit conversions of the library read Cyrillic.
    EXPECT_EQ(DecodeCodePage("\xC0\xFF", 2, EffectiveAnsiCodePage()), String(u"\u0410\u044F"));
    lng.LoadFromFile(u"Plain.lng");
    EXPECT_EQ(AnsiCodePageSetting(), 0);
    EXPECT_EQ(EffectiveAnsiCodePage(), SystemAnsiCodePage());
}

// Records every call in one shared journal.
class RecordingListener : public IORLLocalizationListener2, public IORLLocalizationListener3 {
public:
    RecordingListener(std::string name, std::string& journal) : FName(std::move(name)), FJournal(journal) {}
    void LocalizationChangedStage1() override {
        FJournal += FName + ".1 ";
        if (OnStage1) OnStage1();
    }
    void LocalizationChangedStage2() override { FJournal += FName + ".2 "; }
    void LocalizationChanged() override { FJournal += FName + ".c "; }
    std::function<void()> OnStage1;

private:
    std::string FName;
    std::string& FJournal;
};

class PlainListener : public IORLLocalizationListener {
public:
    explicit PlainListener(std::string& journal) : FJournal(journal) {}
    void LocalizationChanged() override { FJournal += "p.c "; }

private:
    std::string& FJournal;
};

class RecordingLocalization : public TORLLocalization {
public:
    explicit RecordingLocalization(std::string& journal) : FJournal(journal) {}

protected:
    void NotifyWindows() override { FJournal += "windows "; }

private:
    std::string& FJournal;
};

TEST_F(LocalizationTest, ListenersAreToldInStages) {
    std::string journal;
    RecordingLocalization lng(journal);
    RecordingListener a("a", journal), b("b", journal);
    PlainListener p(journal);
    lng.AddListener(&a);
    lng.AddListener(&p);
    lng.AddListener(&b);
    lng.AddListener(&a);  // once is enough

    lng.LangChanged();
    EXPECT_EQ(journal, "a.1 b.1 a.2 b.2 windows a.c p.c b.c ");

    // A listener that leaves during its call does not make the pass skip the next one.
    journal.clear();
    a.OnStage1 = [&] { lng.RemoveListener(&a); };
    lng.LangChanged();
    EXPECT_EQ(journal, "a.1 b.1 b.2 windows p.c b.c ");

    journal.clear();
    lng.RemoveListener(&p);
    lng.RemoveListener(&b);
    const std::string text = "[File]\r\nName=X\r\n";
    TMemoryStream stream(text.data(), text.size());
    lng.LoadFromStream(stream);  // loading applies the language
    EXPECT_EQ(journal, "windows ");
}

TEST_F(LocalizationTest, TheWindowNotifierHearsEachChangeOnce) {
    int calls = 0;
    SetLocalizationWindowNotifier([&calls] { ++calls; });
    TORLLocalization lng;
    lng.LangChanged();
    EXPECT_EQ(calls, 1);
    SetLocalizationWindowNotifier(nullptr);
    lng.LangChanged();
    EXPECT_EQ(calls, 1);
}

TEST_F(LocalizationTest, LanguageInfoAndIcon) {
    TORLIniFile ini;
    ini.LoadFromText(u"[File]\r\nName=Deutsch\r\nAuthor=Team\r\nLangId=1031\r\nVersionId=7\r\nIcon=00010A\r\n");
    TORLLanguageInfo info;
    std::vector<uint8_t> icon;
    EXPECT_TRUE(ReadLanguageInfo(ini, info, [&icon](TStream& s) {
        icon.resize(static_cast<size_t>(s.Size()));
        s.ReadBuffer(icon.data(), icon.size());
    }));
    EXPECT_EQ(info.Name, u"Deutsch");
    EXPECT_EQ(info.Author, u"Team");
    EXPECT_EQ(info.LangId, 1031);
    EXPECT_EQ(info.VersionId, 7);
    EXPECT_EQ(icon, (std::vector<uint8_t>{0x00, 0x01, 0x0A}));

    TMemoryStream stream;
    EXPECT_TRUE(ReadLanguageInfo(ini, info, &stream));
    EXPECT_EQ(stream.Bytes(), icon);

    // A broken icon or a failing loader means no icon, and the texts are still read.
    ini.LoadFromText(u"[File]\r\nName=X\r\nIcon=0G\r\n");
    bool called = false;
    ReadLanguageInfo(ini, info, [&called](TStream&) { called = true; });
    EXPECT_FALSE(called);
    EXPECT_EQ(info.Name, u"X");
    EXPECT_EQ(info.LangId, 0);
    EXPECT_TRUE(ReadLanguageInfo(ini, info, &stream));
    EXPECT_EQ(stream.Size(), 0);
    ini.WriteString(u"File", u"Icon", u"FF");
    EXPECT_TRUE(ReadLanguageInfo(ini, info, [](TStream&) { throw std::runtime_error("not an icon"); }));
}

TEST_F(LocalizationTest, SharedTextsAndItems) {
    TORLLocalization& shared = SharedLocalization();
    EXPECT_EQ(&shared, &SharedLocalization());
    shared.LoadFromText(u"[List]\r\ni[1]=Second\r\n[Edit]\r\nb[0]=Browse\r\n[Page]\r\nTitle=Hello\\nWorld\r\n");

    EXPECT_EQ(LocalizedText(u"page", u"title", u"x"), u"Hello\r\nWorld");
    EXPECT_EQ(LocalizedText(u"Page", u"Other", u"x"), u"x");

    TORLStringList items{u"one", u"two", u"three"};
    LocalizeItems(u"List", items);
    EXPECT_EQ(items.Text(), u"one\r\nSecond\r\nthree\r\n");

    TORLStringList buttons{u"...", u"Clear"};
    LocalizeButtons(u"Edit", buttons);
    EXPECT_EQ(buttons.Text(), u"Browse\r\n\r\n");
    TORLStringList untouched{u"..."};
    LocalizeButtons(u"NoSuchEdit", untouched);
    EXPECT_EQ(untouched[0], u"...");
}

}  // namespace
}  // namespace uinst
