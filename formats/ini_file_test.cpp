#include "formats/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/code_page.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace uinst {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::vector<uint8_t> Bytes(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The text in UTF-16 with its byte-order mark.
std::vector<uint8_t> Utf16(StringView text, bool bigEndian = false) {
    std::vector<uint8_t> bytes = bigEndian ? std::vector<uint8_t>{0xFE, 0xFF} : std::vector<uint8_t>{0xFF, 0xFE};
    for (Char c : text) {
        const uint8_t lo = static_cast<uint8_t>(c), hi = static_cast<uint8_t>(c >> 8);
        bytes.push_back(bigEndian ? hi : lo);
        bytes.push_back(bigEndian ? lo : hi);
    }
    return bytes;
}

std::vector<uint8_t> Saved(const TORLIniFile& ini, TORLTextEncoding encoding) {
    TMemoryStream stream;
    ini.SaveToStream(stream, encoding);
    return stream.Bytes();
}

void LoadBytes(TORLIniFile& ini, const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    ini.LoadFromStream(stream);
}

// A folder of its own for each test, removed afterwards.
class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        FFolder = fs::temp_directory_path() / (std::string("uinst_ini_") + info->name());
        std::error_code ec;
        fs::remove_all(FFolder, ec);
        fs::create_directories(FFolder);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(FFolder, ec);
    }
    String PathOf(const char* name) const { return (FFolder / name).u16string(); }
    void WriteFile(const char* name, const std::vector<uint8_t>& bytes) const {
        TMemoryStream(bytes).SaveToFile(PathOf(name));
    }
    std::vector<uint8_t> ReadFile(const char* name) const {
        TMemoryStream stream;
        stream.LoadFromFile(PathOf(name));
        return stream.Bytes();
    }

    fs::path FFolder;
};

// Lines before the first header, blank lines, comments, headers without their closing bracket or
// with blanks, keys with blanks around "=", duplicate keys and sections, a last line without break.
const char16_t kMessy[] =
    u"orphan=1\r\n"
    u"\r\n"
    u"[Main]\n"
    u"; comment\r"
    u"Mode=2\r\n"
    u"\r\n"
    u"Key = value\u2028\r\n"
    u"dup=first\r\n"
    u"dup=second\r\n"
    u"[main]\r\n"
    u"extra=3\r\n"
    u"[Open\r\n"
    u"a=1\r\n"
    u" [Indented]\r\n"
    u"[Trail] \r\n"
    u"b=2\n"
    u"[Empty]\r\n"
    u"[Last]\r\n"
    u"z=9";

TEST(IniFile, ParsingKeepsLinesAsReadAndSavesSectionsWithLines) {
    TORLIniFile ini;
    ini.LoadFromText(kMessy);
    EXPECT_EQ(ini.SaveToText(),
              u"[Main]\r\n; comment\r\nMode=2\r\nKey = value\r\ndup=first\r\ndup=second\r\nextra=3\r\n\r\n"
              u"[Ope]\r\na=1\r\n [Indented]\r\n\r\n"
              u"[Trail]]\r\nb=2\r\n\r\n"
              u"[Last]\r\nz=9\r\n\r\n");
    ASSERT_EQ(ini.Count(), 5);
    EXPECT_EQ(ini.Sections(0), u"Main");
    EXPECT_EQ(ini.Sections(3), u"Empty");
    EXPECT_TRUE(ini.SectionExists(u"EMPTY"));
    EXPECT_FALSE(ini.SectionExists(u"Open"));
    EXPECT_FALSE(ini.SectionExists(u"Indented"));
    EXPECT_FALSE(ini.KeyExists(u"Main", u"orphan"));
}

TEST(IniFile, ShortHeadersGiveEmptyNames) {
    TORLIniFile ini;
    ini.LoadFromText(u"[\r\na=1\r\n[]\r\nb=2\r\n");
    ASSERT_EQ(ini.Count(), 1);
    EXPECT_EQ(ini.Sections(0), u"");
    EXPECT_EQ(ini.ReadSectionText(u""), u"a=1\r\nb=2\r\n");
}

TEST(IniFile, KeysAreFoundWithoutCaseButWithTheirBlanks) {
    TORLIniFile ini;
    ini.LoadFromText(kMessy);
    for (const char16_t* key : {u"Mode", u"mode", u"MODE"}) EXPECT_EQ(ini.ReadString(u"MAIN", key, u"-"), u"2");
    EXPECT_FALSE(ini.KeyExists(u"Main", u"Key"));
    EXPECT_EQ(ini.ReadString(u"Main", u"Key ", u"-"), u" value");
    EXPECT_EQ(ini.ReadString(u"Main", u"dup", u"-"), u"first");
    // A line without "=" has an empty name and reads as a whole.
    EXPECT_EQ(ini.ReadString(u"Main", u"", u"-"), u"; comment");
    EXPECT_EQ(ini.ReadString(u"Main", u"missing", u"-"), u"-");
    EXPECT_EQ(ini.ReadString(u"Nowhere", u"Mode", u"-"), u"-");

    ini.WriteString(u"main", u"DUP", u"changed");
    EXPECT_EQ(ini.ReadSectionText(u"Main"),
              u"; comment\r\nMode=2\r\nKey = value\r\nDUP=changed\r\ndup=second\r\nextra=3\r\n");
}

TEST(IniFile, NonAsciiNamesIgnoreCase) {
    TORLIniFile ini;
    ini.LoadFromText(u"[\u00C4rger]\r\n\u00DCbel=1\r\n");
    EXPECT_EQ(ini.ReadInteger(u"\u00E4RGER", u"\u00FCBEL", 0), 1);
}

TEST(IniFile, LongNamesDifferingAfterTheHashedPartStayApart) {
    // Only the first 64 code units are hashed: equal hashes must still compare the names.
    const String stem(70, u'k');
    TORLIniFile ini;
    ini.WriteString(u"S", stem + u"1", u"one");
    ini.WriteString(u"S", stem + u"2", u"two");
    EXPECT_EQ(IniNameHash(stem + u"1"), IniNameHash(stem + u"2"));
    EXPECT_EQ(ini.ReadString(u"S", stem + u"1", u""), u"one");
    EXPECT_EQ(ini.ReadString(u"S", stem + u"2", u""), u"two");
    EXPECT_EQ(IniNameHash(u"mode"), IniNameHash(u"MODE"));
    EXPECT_NE(IniNameHash(u"mode"), IniNameHash(u"node"));
}

TEST(IniFile, NumbersAndBooleans) {
    TORLIniFile ini;
    ini.LoadFromText(
        u"[N]\r\ndec=-5\r\nhex=$1F\r\nhex2=0x10\r\nword=yes\r\ntrue=true\r\none=1\r\nzero=0\r\ntrail=12abc\r\n");
    EXPECT_EQ(ini.ReadInteger(u"N", u"dec", 0), -5);
    EXPECT_EQ(ini.ReadInteger(u"N", u"hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger(u"N", u"hex2", 0), 16);
    EXPECT_EQ(ini.ReadInteger(u"N", u"trail", 7), 7);
    EXPECT_EQ(ini.ReadInteger(u"N", u"missing", 7), 7);
    EXPECT_TRUE(ini.ReadBool(u"N", u"one", false));
    EXPECT_FALSE(ini.ReadBool(u"N", u"zero", true));
    EXPECT_TRUE(ini.ReadBool(u"N", u"hex", false));
    for (const char16_t* word : {u"word", u"true"}) {
        EXPECT_TRUE(ini.ReadBool(u"N", word, true));
        EXPECT_FALSE(ini.ReadBool(u"N", word, false));
    }

    TORLIniFile out;
    out.WriteBool(u"B", u"On", true);
    out.WriteBool(u"B", u"Off", false);
    out.WriteInteger(u"B", u"Num", -42);
    EXPECT_EQ(out.ReadSectionText(u"B"), u"On=1\r\nOff=0\r\nNum=-42\r\n");
}

TEST(IniFile, DeletingAndSectionContent) {
    TORLIniFile ini;
    ini.LoadFromText(u"[A]\r\nx=1\r\n;note\r\ny=2\r\n=nameless\r\n[B]\r\nk=v\r\n");
    TORLStringList names;
    names.Add(u"stale");
    ini.ReadSection(u"a", names);
    EXPECT_EQ(names.Text(), u"x\r\ny\r\n");

    EXPECT_FALSE(ini.DeleteKey(u"A", u"z"));
    EXPECT_FALSE(ini.DeleteKey(u"Z", u"x"));
    EXPECT_TRUE(ini.DeleteKey(u"B", u"K"));
    // A section whose lines are all gone stays known but is not saved.
    EXPECT_TRUE(ini.SectionExists(u"B"));
    EXPECT_EQ(ini.SaveToText(), u"[A]\r\nx=1\r\n;note\r\ny=2\r\n=nameless\r\n\r\n");

    EXPECT_TRUE(ini.DeleteSection(u"a"));
    EXPECT_FALSE(ini.DeleteSection(u"a"));
    EXPECT_EQ(ini.ReadSectionText(u"A"), u"");
    // The section found last was the deleted one: lookups must not use it any more.
    ini.WriteString(u"A", u"new", u"1");
    EXPECT_EQ(ini.Sections(ini.Count() - 1), u"A");
    EXPECT_EQ(ini.ReadSectionText(u"A"), u"new=1\r\n");

    ini.Clear();
    EXPECT_TRUE(ini.IsEmpty());
    EXPECT_FALSE(ini.KeyExists(u"A", u"new"));
}

TEST(IniFile, WriteSectionTextReplacesTheLines) {
    TORLIniFile ini;
    ini.LoadFromText(u"[S]\r\nold=1\r\n");
    ini.WriteSectionText(u"s", u"a=1\r\n\r\nb=2\nc=3\r\n");
    EXPECT_EQ(ini.ReadSectionText(u"S"), u"a=1\r\n\r\nb=2\r\nc=3\r\n");
    ini.WriteSectionText(u"New", u"only");
    EXPECT_EQ(ini.ReadSectionText(u"New"), u"only\r\n");
    ini.WriteSectionText(u"New", u"");
    EXPECT_EQ(ini.ReadSectionText(u"New"), u"");
    EXPECT_TRUE(ini.SectionExists(u"New"));
}

TEST(IniFile, StreamsAsHexadecimal) {
    TORLIniFile ini;
    const uint8_t data[] = {0x00, 0x7F, 0xAB, 0xFF};
    TMemoryStream source(data, sizeof data);
    source.SetPosition(2);  // the whole content is written whatever the position
    ini.WriteStream(u"S", u"Blob", source);
    EXPECT_EQ(source.Position(), 2);
    EXPECT_EQ(ini.ReadString(u"S", u"Blob", u""), u"007FABFF");

    TMemoryStream target;
    target.WriteUInt8(0x11);
    ASSERT_TRUE(ini.ReadStream(u"S", u"Blob", target));
    EXPECT_EQ(target.Bytes(), (std::vector<uint8_t>{0x11, 0x00, 0x7F, 0xAB, 0xFF}));
    EXPECT_EQ(target.Position(), 0);

    ini.WriteString(u"S", u"Lower", u"0aff");
    TMemoryStream lower;
    ASSERT_TRUE(ini.ReadStream(u"S", u"lower", lower));
    EXPECT_EQ(lower.Bytes(), (std::vector<uint8_t>{0x0A, 0xFF}));

    for (const char16_t* bad : {u"ABC", u"", u"0G", u"12 4"}) {
        ini.WriteString(u"S", u"Bad", bad);
        TMemoryStream untouched;
        untouched.WriteUInt8(0x55);
        EXPECT_FALSE(ini.ReadStream(u"S", u"Bad", untouched)) << StringToUtf8(bad);
        EXPECT_EQ(untouched.Bytes(), std::vector<uint8_t>{0x55});
    }
    TMemoryStream none;
    EXPECT_FALSE(ini.ReadStream(u"S", u"Missing", none));

    TMemoryStream empty;
    ini.WriteStream(u"S", u"Blob", empty);
    EXPECT_FALSE(ini.KeyExists(u"S", u"Blob"));
}

TEST(IniFile, DecodesTheMarkedEncodings) {
    const String expected = u"[S]\r\nk=\u00E9\u4E2D\r\n\r\n";
    struct Case {
        std::vector<uint8_t> bytes;
        TORLTextEncoding encoding;
    };
    const Case cases[] = {
        {Bytes("\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\xE4\xB8\xAD\r\n"), teUTF8},
        {Utf16(u"[S]\r\nk=\u00E9\u4E2D\r\n"), teUTF16LE},
        {Utf16(u"[S]\r\nk=\u00E9\u4E2D\r\n", true), teUTF16BE},
    };
    for (const Case& c : cases) {
        TORLIniFile ini;
        LoadBytes(ini, c.bytes);
        EXPECT_EQ(ini.SaveToText(), expected);
        EXPECT_EQ(ini.Encoding(), c.encoding);
    }
}

TEST(IniFile, UnmarkedAndUndecodableBytesUseTheAnsiCodePage) {
    const String e9 = *DecodeCodePage("\xE9", 1, 0);
    TORLIniFile ini;
    LoadBytes(ini, Bytes("[S]\r\nk=\xE9\r\n"));
    EXPECT_EQ(ini.Encoding(), teAnsi);
    EXPECT_EQ(ini.ReadString(u"S", u"k", u""), e9);

    // Not UTF-8 after all: the same bytes are read in the ANSI code page; the mark still counts.
    LoadBytes(ini, Bytes("\xEF\xBB\xBF[S]\r\nk=\xE9\r\n"));
    EXPECT_EQ(ini.Encoding(), teUTF8);
    EXPECT_EQ(ini.ReadString(u"S", u"k", u""), e9);

    // Reading starts at the stream's position; an odd last byte of UTF-16 is ignored.
    std::vector<uint8_t> bytes = Bytes("junk");
    for (uint8_t b : Utf16(u"[S]\rx=1")) bytes.push_back(b);
    bytes.push_back(0x32);
    TMemoryStream stream(bytes);
    stream.SetPosition(4);
    ini.LoadFromStream(stream);
    EXPECT_EQ(ini.ReadString(u"S", u"x", u""), u"1");

    // A UTF-16 mark with nothing after it is an empty UTF-16 file, as a new object saves it.
    LoadBytes(ini, Bytes("\xFF\xFE"));
    EXPECT_EQ(ini.Encoding(), teUTF16LE);
    EXPECT_TRUE(ini.IsEmpty());
    LoadBytes(ini, {});
    EXPECT_EQ(ini.Encoding(), teAnsi);
    EXPECT_TRUE(ini.IsEmpty());
}

// A stream that does not know its size, as a pipe or a growing file may be.
class TSizelessStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    int64_t Size() override { return 0; }
};

TEST(IniFile, ReadsStreamsToTheirRealEnd) {
    std::string text = "[S]\r\n";
    for (int i = 0; i < 20000; ++i) text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    TSizelessStream stream(text.data(), text.size());
    TORLIniFile ini;
    ini.LoadFromStream(stream);
    EXPECT_EQ(ini.ReadInteger(u"S", u"key19999", 0), 19999);
    EXPECT_EQ(ini.SaveToText(), Utf8ToString(text) + u"\r\n");
}

TEST(IniFile, SavesEachEncodingWithItsMark) {
    TORLIniFile ini;
    ini.WriteString(u"S", u"k", u"\u00E9");
    EXPECT_EQ(Saved(ini, teUTF8), Bytes("\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n\r\n"));
    EXPECT_EQ(Saved(ini, teUTF16LE), Bytes("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0\r\0\n\0"s));
    EXPECT_EQ(Saved(ini, teUTF16BE), Utf16(u"[S]\r\nk=\u00E9\r\n\r\n", true));
    EXPECT_EQ(Saved(ini, teAnsi), Bytes("[S]\r\nk=" + EncodeCodePage(u"\u00E9", 0) + "\r\n\r\n"));
    TMemoryStream plain;
    ini.SaveToStream(plain);
    EXPECT_EQ(plain.Bytes(), Saved(ini, teUTF16LE));
    EXPECT_EQ(Saved(TORLIniFile(), teUTF16LE), Bytes("\xFF\xFE"));
}

TEST(IniFile, LoadingAndSavingTwiceGivesTheSameBytes) {
    const std::vector<uint8_t> inputs[] = {
        Bytes("\xEF\xBB\xBFjunk\r\n[A]\r\n\r\n;c\r\nx = 1\r\n[b\r\n[a]\ny=\xC3\xA4\r\n[Empty]\r\n"),
        Bytes("\xEF\xBB\xBF[A]\r\nbroken=\xC3\r\n"),
        Bytes("[A]\r\nk=\x81\xE9\r\n[B] \r\nq\r"),
        Utf16(u"[A]\n\xD800=\xDC00"),
        Utf16(u"[A]\nk=\xD800\u2028[B]\r\nq=\xDFFF", true),
        Bytes(""),
        Bytes("\xFF\xFE"),
    };
    for (const auto& input : inputs) {
        TORLIniFile first;
        LoadBytes(first, input);
        const auto once = Saved(first, first.Encoding());
        TORLIniFile second;
        LoadBytes(second, once);
        EXPECT_EQ(second.Encoding(), first.Encoding());
        EXPECT_EQ(Saved(second, second.Encoding()), once);
    }
}

TEST(IniFile, MergeKeepsOrReplacesAndCopiesMissingSections) {
    TORLIniFile base;
    base.LoadFromText(u"[Common]\r\nLang=German\r\n");
    TORLIniFile other;
    other.LoadFromText(u"[COMMON]\r\n;ignored comment\r\nlang=English\r\nSkin=Dark\r\n[Extra]\r\n; kept\r\nx=1\r\n");

    base.Merge(other, false);
    EXPECT_EQ(base.SaveToText(), u"[Common]\r\nLang=German\r\nSkin=Dark\r\n\r\n[Extra]\r\n; kept\r\nx=1\r\n\r\n");
    base.Merge(other, true);
    EXPECT_EQ(base.ReadSectionText(u"Common"), u"lang=English\r\nSkin=Dark\r\n");
    base.Merge(base, true);
    EXPECT_EQ(base.Count(), 2);
}

TEST(IniFile, AssignAndEquality) {
    TORLIniFile a;
    a.LoadFromText(u"[A]\r\nx=1\r\n[Empty]\r\n");
    TORLIniFile b;
    b.WriteString(u"Other", u"y", u"2");
    b.SetEncoding(teUTF8);
    EXPECT_FALSE(a == b);
    b.Assign(a);
    EXPECT_TRUE(a == b);
    EXPECT_EQ(b.Count(), 1);  // sections without lines are not part of the copy
    EXPECT_EQ(b.Encoding(), teUTF8);
    b.WriteString(u"A", u"x", u"2");
    EXPECT_FALSE(a == b);
}

TEST(IniFile, ChangeNotificationsAndUpdates) {
    TORLIniFile ini;
    int calls = 0;
    ini.SetOnChanged([&calls](TORLIniFile&) { ++calls; });
    ini.WriteString(u"S", u"a", u"1");
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(ini.Modified());
    ini.BeginUpdate();
    ini.BeginUpdate();
    ini.WriteString(u"S", u"b", u"2");
    ini.DeleteKey(u"S", u"a");
    ini.EndUpdate();
    EXPECT_EQ(calls, 1);
    ini.EndUpdate();
    EXPECT_EQ(calls, 2);
    ini.EndUpdate();  // unbalanced: ignored
    EXPECT_EQ(calls, 2);
    ini.LoadFromText(u"[S]\r\nc=3\r\n");
    EXPECT_EQ(calls, 3);
}

TEST_F(IniFileTest, UpdateFileKeepsTheEncodingOfTheFile) {
    WriteFile("utf8.ini", Bytes("\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n"));
    WriteFile("ansi.ini", Bytes("[S]\r\nk=1\r\n"));
    {
        TORLIniFile ini(PathOf("utf8.ini"));
        EXPECT_FALSE(ini.Modified());
        EXPECT_TRUE(ini.UpdateFile());  // nothing to do
        ini.WriteString(u"S", u"n", u"\u00FC");
        EXPECT_TRUE(ini.UpdateFile());
        EXPECT_FALSE(ini.Modified());
    }
    EXPECT_EQ(ReadFile("utf8.ini"), Bytes("\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\nn=\xC3\xBC\r\n\r\n"));
    {
        TORLIniFile ini(PathOf("ansi.ini"), true);
        ini.WriteString(u"S", u"n", u"2");
    }
    EXPECT_EQ(ReadFile("ansi.ini"), Bytes("[S]\r\nk=1\r\nn=2\r\n\r\n"));
    {
        TORLIniFile ini(PathOf("new.ini"), true);
        EXPECT_TRUE(ini.IsEmpty());
        EXPECT_EQ(ini.FileName(), PathOf("new.ini"));
        ini.WriteString(u"S", u"k", u"1");
    }
    EXPECT_EQ(ReadFile("new.ini"), Utf16(u"[S]\r\nk=1\r\n\r\n"));
}

TEST_F(IniFileTest, FilesThatCannotBeCreatedGiveFalse) {
    TORLIniFile ini;
    ini.WriteString(u"S", u"k", u"1");
    const String missing = PathOf("no-such-folder") + u"/x.ini";
    EXPECT_FALSE(ini.SaveToFile(missing));
    ini.SetFileName(missing);
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_TRUE(ini.Modified());
    TORLIniFile unbound;
    unbound.WriteString(u"S", u"k", u"1");
    EXPECT_FALSE(unbound.UpdateFile());

    // Saving into a missing folder from the destructor must not escape it.
    { TORLIniFile autoSaved(missing, true); }

    TORLIniFile loaded;
    loaded.WriteString(u"S", u"k", u"1");
    loaded.LoadFromFile(missing);
    EXPECT_TRUE(loaded.IsEmpty());
    EXPECT_FALSE(loaded.Modified());
}

// Saving stops half way, as on a full disk.
class TFailingIniFile : public TORLIniFile {
public:
    using TORLIniFile::TORLIniFile;
    void SaveToStream(TStream& stream, TORLTextEncoding) const override {
        stream.WriteBuffer("[S]\r\n", 5);
        throw EWriteError(u"no space left");
    }
};

TEST_F(IniFileTest, FailedWritesKeepTheOldFile) {
    WriteFile("settings.ini", Bytes("[S]\r\nkept=1\r\n"));
    TFailingIniFile ini(PathOf("settings.ini"));
    ini.WriteString(u"S", u"k", u"2");
    EXPECT_THROW(ini.UpdateFile(), EWriteError);
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(ReadFile("settings.ini"), Bytes("[S]\r\nkept=1\r\n"));
    EXPECT_FALSE(fs::exists(FFolder / "settings.ini.partial"));
}

TEST_F(IniFileTest, LargeFilesPassTheBuffers) {
    TORLIniFile ini;
    for (int s = 0; s < 20; ++s)
        for (int k = 0; k < 1000; ++k)
            ini.WriteString(u"Section" + String(1, static_cast<Char>(u'A' + s)), u"Key" + Ascii(std::to_string(k)),
                            Ascii("some longer value " + std::to_string(k * s)));
    ASSERT_TRUE(ini.SaveToFile(PathOf("big.ini"), teUTF8));
    EXPECT_GT(fs::file_size(FFolder / "big.ini"), 512u * 1024u);
    TORLIniFile loaded(PathOf("big.ini"));
    EXPECT_TRUE(loaded == ini);
    EXPECT_EQ(loaded.ReadString(u"SectionT", u"Key999", u""), u"some longer value 18981");
}

TEST_F(IniFileTest, MergeFromFile) {
    WriteFile("other.ini", Bytes("[S]\r\na=2\r\nb=3\r\n"));
    TORLIniFile ini;
    ini.WriteString(u"S", u"a", u"1");
    ini.Merge(PathOf("other.ini"), false);
    ini.Merge(PathOf("missing.ini"), true);
    EXPECT_EQ(ini.ReadSectionText(u"S"), u"a=1\r\nb=3\r\n");
}

#ifdef _WIN32
TEST_F(IniFileTest, OverwritesReadOnlyAndHiddenFilesAndLongNames) {
    TORLIniFile ini;
    ini.WriteString(u"S", u"k", u"1");
    const String name = PathOf("locked.ini");
    WriteFile("locked.ini", Bytes("old"));
    ASSERT_TRUE(SetFileAttributesW(WidePtr(name), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(ini.SaveToFile(name));
    EXPECT_EQ(ReadFile("locked.ini"), Saved(ini, teUTF16LE));

    // A path of more than 260 characters, made with the long-path prefix.
    std::vector<String> folders{u"\\\\?\\" + FFolder.u16string()};
    for (int i = 0; i < 6; ++i) {
        folders.push_back(folders.back() + u"\\" + String(50, static_cast<Char>(u'a' + i)));
        ASSERT_TRUE(CreateDirectoryW(WidePtr(folders.back()), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    const String longName = folders.back().substr(4) + u"/long.ini";
    ASSERT_GE(longName.size(), 300u);
    EXPECT_TRUE(ini.SaveToFile(longName, teUTF8));
    TORLIniFile loaded(longName);
    EXPECT_EQ(loaded.Encoding(), teUTF8);
    EXPECT_TRUE(loaded == ini);

    // The ordinary removal of the test folder cannot reach this deep.
    DeleteFileW(WidePtr(folders.back() + u"\\long.ini"));
    while (folders.size() > 1) {
        RemoveDirectoryW(WidePtr(folders.back()));
        folders.pop_back();
    }
}
#endif

}  // namespace
}  // namespace uinst
