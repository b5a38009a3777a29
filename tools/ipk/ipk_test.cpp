#include "tools/ipk/ipk.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "package/crc32.h"
#include "package/lzma_coder.h"
#include "package/setup_package.h"

namespace uinst::ipk {
namespace {

namespace fs = std::filesystem;

class TCapture : public TConsole {
public:
    void Out(StringView text) override { FOut += StringToUtf8(text); }
    void Err(StringView text) override { FErr += StringToUtf8(text); }
    std::string FOut, FErr;
};

class IpkTest : public ::testing::Test {
protected:
    void SetUp() override {
        FRoot = fs::temp_directory_path() /
                (std::string("uinst_ipk_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FRoot);
        fs::create_directories(FRoot);
    }
    void TearDown() override { fs::remove_all(FRoot); }

    int Run(std::vector<String> args) {
        FConsole = TCapture();
        return RunIpk(args, FConsole);
    }
    String P(const fs::path& path) { return FromPath(path); }

    static void WriteFile(const fs::path& path, const std::string& data) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << data;
    }
    static std::string ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path FRoot;
    TCapture FConsole;
};

TEST(IpkNames, SafeNamesSplitIntoParts) {
    EXPECT_EQ(SafeNameParts(u"Install.xml"), std::vector<String>{u"Install.xml"});
    EXPECT_EQ(SafeNameParts(u"Skins\\Dark\\main.png"), (std::vector<String>{u"Skins", u"Dark", u"main.png"}));
    EXPECT_EQ(SafeNameParts(u"a/b"), (std::vector<String>{u"a", u"b"}));
    EXPECT_EQ(SafeNameParts(u"..hidden\\x..y"), (std::vector<String>{u"..hidden", u"x..y"}));
    EXPECT_EQ(SafeNameParts(u"console.txt"), std::vector<String>{u"console.txt"});
    for (const char16_t* name : {u"COM10", u"COM", u"LPT", u"CONINx", u"LPT\u00B9x", u"COM\u2074", u"CON_1.txt",
                                 u"xNUL", u"CONOUT", u"a.con", u"aux-data\\file"})
        EXPECT_NO_THROW(SafeNameParts(name)) << StringToUtf8(name);
}

TEST(IpkNames, UnsafeNamesAreRefused) {
    for (const char16_t* name : {u"",
                                 u"..",
                                 u"..\\evil.dll",
                                 u"a\\..\\..\\b",
                                 u"a/../b",
                                 u".\\a",
                                 u"\\abs",
                                 u"/etc/passwd",
                                 u"\\\\server\\share",
                                 u"C:\\Windows\\x",
                                 u"C:x",
                                 u"a\\\\b",
                                 u"a\\",
                                 u"stream:alt",
                                 u"name.",
                                 u"name ",
                                 u"... ",
                                 u"CON",
                                 u"nul.txt",
                                 u"dir\\Com1.log",
                                 u"LPT9",
                                 u"COM0",
                                 u"lpt0.log",
                                 u"CONIN$",
                                 u"conout$.txt",
                                 u"COM\u00B9",
                                 u"dir\\LPT\u00B2.txt",
                                 u"lpt\u00B3",
                                 u"Aux .txt",
                                 u"prn  .tar.gz",
                                 u"Nul.a.b",
                                 u"a\u0001b",
                                 u"a|b",
                                 u"a?b",
                                 u"a*b",
                                 u"a<b>",
                                 u"a\"b"}) {
        EXPECT_THROW(SafeNameParts(name), EIpkError) << StringToUtf8(name);
    }
}

TEST_F(IpkTest, PackListExtractRoundTrip) {
    const fs::path tree = FRoot / "tree";
    std::mt19937 random(1);
    std::map<std::string, std::string> files;
    for (int n = 0; n < 120; ++n) {
        std::string rel = std::string("d").append(std::to_string(n % 7)).append("/s").append(std::to_string(n % 3));
        rel.append("/f").append(std::to_string(n)).append(".bin");
        std::string data(random() % 5000, '\0');
        for (auto& c : data) c = static_cast<char>(random() % 4 ? 'a' + random() % 3 : random());
        files[rel] = data;
        WriteFile(tree / rel, data);
    }
    files["empty.txt"] = "";
    WriteFile(tree / "empty.txt", "");
    const std::string unicode = "\xC3\x84rger \xE6\x97\xA5\xE6\x9C\xAC.txt";  // "Ärger 日本.txt"
    files[unicode] = "umlaut";
    WriteFile(tree / fs::u8path(unicode), "umlaut");
    WriteFile(FRoot / "single.ini", "[Uninstall]\r\n");

    const fs::path package = FRoot / "out.ipk";
    ASSERT_EQ(Run({u"pack", P(package), P(tree), P(FRoot / "single.ini"), u"--name",
                   u"Docs\\Licence.txt=" + P(FRoot / "single.ini"), u"--level", u"2"}),
              0)
        << FConsole.FErr;
    EXPECT_FALSE(fs::exists(FRoot / "out.ipk.partial"));

    ASSERT_EQ(Run({u"list", P(package)}), 0) << FConsole.FErr;
    std::istringstream lines(FConsole.FOut);
    std::string line;
    int count = 0;
    int64_t expectedOffset = 0;
    while (std::getline(lines, line)) {
        const auto tab1 = line.find('\t'), tab2 = line.rfind('\t');
        ASSERT_NE(tab1, tab2) << line;
        EXPECT_EQ(std::stoll(line.substr(tab2 + 1)), expectedOffset) << line;
        expectedOffset += std::stoll(line.substr(tab1 + 1, tab2 - tab1 - 1));
        if (count == 0) {
            EXPECT_EQ(line.substr(0, tab1), "d0\\s0\\f0.bin");
        }
        ++count;
    }
    EXPECT_EQ(count, 124);

    const fs::path out = FRoot / "extracted";
    ASSERT_EQ(Run({u"extract", P(package), u"-C", P(out)}), 0) << FConsole.FErr;
    for (const auto& [rel, data] : files) {
        const fs::path path = out / fs::u8path(rel);
        ASSERT_TRUE(fs::is_regular_file(path)) << rel;
        EXPECT_EQ(ReadFile(path), data) << rel;
    }
    EXPECT_EQ(ReadFile(out / "single.ini"), "[Uninstall]\r\n");
    EXPECT_EQ(ReadFile(out / "Docs" / "Licence.txt"), "[Uninstall]\r\n");

    // Named entries, case ignored, into another folder.
    const fs::path some = FRoot / "some";
    ASSERT_EQ(Run({u"extract", P(package), u"D1\\S1\\F1.BIN", u"-C", P(some)}), 0) << FConsole.FErr;
    EXPECT_EQ(ReadFile(some / "d1" / "s1" / "f1.bin"), files["d1/s1/f1.bin"]);
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(some), {}), 3);

    EXPECT_EQ(Run({u"extract", P(package), u"missing.txt", u"-C", P(some)}), 1);
    EXPECT_NE(FConsole.FErr.find("missing.txt"), std::string::npos);

    EXPECT_EQ(Run({u"verify", P(package)}), 0) << FConsole.FErr;
}

TEST_F(IpkTest, PackRefusesClashingAndUnsafeNames) {
    WriteFile(FRoot / "a" / "Setup.ini", "1");
    WriteFile(FRoot / "b" / "setup.INI", "2");
    EXPECT_EQ(Run({u"pack", P(FRoot / "x.ipk"), P(FRoot / "a"), P(FRoot / "b")}), 1);
    EXPECT_NE(FConsole.FErr.find("would both be stored"), std::string::npos) << FConsole.FErr;
    EXPECT_EQ(Run({u"pack", P(FRoot / "x.ipk"), u"--name", u"..\\up=" + P(FRoot / "a" / "Setup.ini")}), 1);
    EXPECT_NE(FConsole.FErr.find("unsafe name"), std::string::npos);
    EXPECT_FALSE(fs::exists(FRoot / "x.ipk"));
}

TEST_F(IpkTest, ExtractRefusesUnsafePackagesBeforeWritingAnything) {
    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream good("good", 4), evil("evil", 4);
    builder.Add(good, u"good.txt");
    builder.Add(evil, u"..\\..\\evil.txt");
    builder.Commit(P(FRoot / "evil.ipk"), 4);

    const fs::path out = FRoot / "deep" / "out";
    EXPECT_EQ(Run({u"extract", P(FRoot / "evil.ipk"), u"-C", P(out)}), 1);
    EXPECT_NE(FConsole.FErr.find("unsafe name"), std::string::npos) << FConsole.FErr;
    EXPECT_FALSE(fs::exists(out / "good.txt"));
    EXPECT_FALSE(fs::exists(FRoot / "evil.txt"));
    // The safe entry alone is fine.
    EXPECT_EQ(Run({u"extract", P(FRoot / "evil.ipk"), u"GOOD.TXT", u"-C", P(out)}), 0) << FConsole.FErr;
    EXPECT_EQ(ReadFile(out / "good.txt"), "good");
}

TEST_F(IpkTest, ExtractRefusesClashingNamesBeforeWritingAnything) {
    const auto pack = [&](const char* file, std::vector<String> names) {
        TSetupPackageBuilder builder(SetupPackageKey);
        for (const auto& name : names) {
            TMemoryStream data("data", 4);
            builder.Add(data, name);
        }
        builder.Commit(P(FRoot / file), 4);
        return P(FRoot / file);
    };
    const fs::path out = FRoot / "out";
    struct TCase {
        std::vector<String> Names;
        const char* Message;
    };
    for (const auto& c : {TCase{{u"first.txt", u"a", u"a\\b"}, "would be a file and also a folder"},
                          TCase{{u"first.txt", u"A\\b\\c", u"a/B"}, "would be a file and also a folder"},
                          TCase{{u"first.txt", u"Dir\\x.txt", u"dir/X.TXT"}, "would be written to the same file"}}) {
        const String package = pack("clash.ipk", c.Names);
        EXPECT_EQ(Run({u"extract", package, u"-C", P(out)}), 1);
        EXPECT_NE(FConsole.FErr.find(c.Message), std::string::npos) << FConsole.FErr;
        EXPECT_FALSE(fs::exists(out)) << FConsole.FErr;
    }

    // Folders that differ only in case are one folder, spelt as the first name has it.
    ASSERT_EQ(Run({u"extract", pack("case.ipk", {u"Skins\\a.png", u"SKINS/b.png"}), u"-C", P(out)}), 0)
        << FConsole.FErr;
    EXPECT_EQ(ReadFile(out / "Skins" / "b.png"), "data");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 1);

    // What is on disk counts too: a file where a folder belongs, a folder where a file belongs.
    WriteFile(out / "taken", "mine");
    fs::create_directories(out / "folder");
    for (const char16_t* name : {u"taken\\x.txt", u"folder"}) {
        EXPECT_EQ(Run({u"extract", pack("disk.ipk", {u"new.txt", name}), u"-C", P(out)}), 1);
        EXPECT_NE(FConsole.FErr.find("of that name exists"), std::string::npos) << FConsole.FErr;
        EXPECT_FALSE(fs::exists(out / "new.txt"));
    }
    EXPECT_EQ(ReadFile(out / "taken"), "mine");

    // The packer refuses the same clashes.
    WriteFile(FRoot / "f", "x");
    EXPECT_EQ(
        Run({u"pack", P(FRoot / "p.ipk"), u"--name", u"a=" + P(FRoot / "f"), u"--name", u"a/b=" + P(FRoot / "f")}), 1);
    EXPECT_NE(FConsole.FErr.find("would be a file and also a folder"), std::string::npos) << FConsole.FErr;
    EXPECT_FALSE(fs::exists(FRoot / "p.ipk"));
}

TEST_F(IpkTest, NamesAreShownOnOneLine) {
    EXPECT_EQ(Printable(u"plain \u00C4 \U0001F3B5.mp3"), u"plain \u00C4 \U0001F3B5.mp3");
    EXPECT_EQ(Printable(u"a\tb\r\nc\u007F\u0085<\u202E\u2028"),
              u"a<U+0009>b<U+000D><U+000A>c<U+007F><U+0085><U+003C><U+202E><U+2028>");
    EXPECT_EQ(Printable(String(u"x") + Char(0xD800) + u"y" + Char(0xDC00)), u"x<U+D800>y<U+DC00>");

    // A name with a tab and a line break cannot forge a row of the listing.
    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream data("abc", 3);
    builder.Add(data, u"evil\t999\t0\nsetup.exe");
    builder.Commit(P(FRoot / "rows.ipk"), 4);
    ASSERT_EQ(Run({u"list", P(FRoot / "rows.ipk")}), 0) << FConsole.FErr;
    EXPECT_EQ(FConsole.FOut, "evil<U+0009>999<U+0009>0<U+000A>setup.exe\t3\t0\n");
    // Nor a message.
    EXPECT_EQ(Run({u"extract", P(FRoot / "rows.ipk"), u"-C", P(FRoot / "out")}), 1);
    EXPECT_NE(FConsole.FErr.find("evil<U+0009>999<U+0009>0<U+000A>setup.exe"), std::string::npos) << FConsole.FErr;
    EXPECT_EQ(std::count(FConsole.FErr.begin(), FConsole.FErr.end(), '\n'), 1) << FConsole.FErr;
}

TEST_F(IpkTest, ExtractAllSkipsShadowedDuplicates) {
    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream first("first", 5), second("second", 6);
    builder.Add(first, u"Dup.txt");
    builder.Add(second, u"DUP.TXT");
    builder.Commit(P(FRoot / "dup.ipk"), 4);
    ASSERT_EQ(Run({u"extract", P(FRoot / "dup.ipk"), u"-C", P(FRoot / "out")}), 0) << FConsole.FErr;
    EXPECT_EQ(ReadFile(FRoot / "out" / "Dup.txt"), "first");
    EXPECT_FALSE(fs::exists(FRoot / "out" / "DUP.TXT") &&
                 !fs::equivalent(FRoot / "out" / "DUP.TXT", FRoot / "out" / "Dup.txt"));
}

TEST_F(IpkTest, VerifyAndOpenFailures) {
    WriteFile(FRoot / "f.txt", std::string(1000, 'x'));
    ASSERT_EQ(Run({u"pack", P(FRoot / "p.ipk"), P(FRoot / "f.txt")}), 0) << FConsole.FErr;
    std::string bytes = ReadFile(FRoot / "p.ipk");
    bytes[bytes.size() - 1] ^= 0x40;
    WriteFile(FRoot / "bad.ipk", bytes);
    EXPECT_EQ(Run({u"verify", P(FRoot / "bad.ipk")}), 1);
    EXPECT_NE(FConsole.FErr.find("Package was corrupted"), std::string::npos) << FConsole.FErr;
    EXPECT_EQ(Run({u"list", P(FRoot / "nothing.ipk")}), 1);
    EXPECT_NE(FConsole.FErr.find("nothing.ipk"), std::string::npos) << FConsole.FErr;

    // A consistent package (checksum and all) whose only entry reaches past its content: it
    // opens, but neither verifies nor extracts.
    const uint8_t content[] = {'a', 'b', 'c',                                            // data
                               1,   0,   0,   0,                                         // count
                               1,   0,   'a', 0,                                         // name
                               0,   0,   0,   0, 0, 0, 0, 0, 0x7F, 0, 0, 0, 0, 0, 0, 0,  // offset, size
                               24,  0,   0,   0};                                        // table length
    TMemoryStream package;
    package.WriteBuffer("IPK5", 4);
    package.WriteUInt32(TORLHashCRC32::Calculate(content, sizeof content));
    package.WriteUInt32(sizeof content);
    const uint8_t key[4] = {uint8_t(SetupPackageKey), uint8_t(SetupPackageKey >> 8), uint8_t(SetupPackageKey >> 16),
                            uint8_t(SetupPackageKey >> 24)};
    TMemoryStream source(content, sizeof content);
    LZMAEncode(source, package, 4, MakeRC4Preprocessor(key, 4));
    package.SaveToFile(P(FRoot / "outside.ipk"));
    EXPECT_EQ(Run({u"list", P(FRoot / "outside.ipk")}), 0) << FConsole.FErr;
    EXPECT_EQ(FConsole.FOut, "a\t127\t0\n");
    EXPECT_EQ(Run({u"verify", P(FRoot / "outside.ipk")}), 1);
    EXPECT_NE(FConsole.FErr.find("outside the content"), std::string::npos) << FConsole.FErr;
    EXPECT_EQ(Run({u"extract", P(FRoot / "outside.ipk"), u"-C", P(FRoot / "x")}), 1);
    EXPECT_FALSE(fs::exists(FRoot / "x" / "a"));
}

TEST_F(IpkTest, CommandLine) {
    EXPECT_EQ(Run({u"key"}), 0);
    EXPECT_EQ(FConsole.FOut, "4F56524F\n");
    EXPECT_EQ(Run({u"--help"}), 0);
    EXPECT_NE(FConsole.FOut.find("extract"), std::string::npos);
    EXPECT_EQ(Run({u"pack", u"--help"}), 0);
    EXPECT_NE(FConsole.FOut.find("--level"), std::string::npos);
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({u"frobnicate"}), 2);
    EXPECT_NE(FConsole.FErr.find("unknown command"), std::string::npos);
    EXPECT_EQ(Run({u"pack", P(FRoot / "o.ipk")}), 2);
    fs::create_directories(FRoot / "empty");
    EXPECT_EQ(Run({u"pack", P(FRoot / "e.ipk"), P(FRoot / "empty")}), 0) << FConsole.FErr;
    EXPECT_EQ(Run({u"list", P(FRoot / "e.ipk")}), 0);
    EXPECT_EQ(FConsole.FOut, "");
    WriteFile(FRoot / "f", "x");
    EXPECT_EQ(Run({u"pack", u"--level", u"12", P(FRoot / "o.ipk"), P(FRoot / "f")}), 2);
    EXPECT_EQ(Run({u"pack", u"--level=x", P(FRoot / "o.ipk"), P(FRoot / "f")}), 2);
    EXPECT_EQ(Run({u"pack", u"--bogus", P(FRoot / "o.ipk"), P(FRoot / "f")}), 2);
    EXPECT_EQ(Run({u"pack", P(FRoot / "o.ipk"), P(FRoot / "no-such-file")}), 1);
    EXPECT_EQ(Run({u"list"}), 2);
    EXPECT_EQ(Run({u"key", u"extra"}), 2);
    EXPECT_FALSE(fs::exists(FRoot / "o.ipk"));
}

TEST_F(IpkTest, XmlConvertsBetweenTextAndSxml) {
    WriteFile(FRoot / "Install.xml",
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><install><product><Settings>"
              "<S name=\"ProductName\" value=\"ORVO \xD0\x96\"/></Settings></product></install>");
    ASSERT_EQ(Run({u"xml", P(FRoot / "Install.xml"), P(FRoot / "Install.sxml"), u"--to", u"sxml"}), 0) << FConsole.FErr;
    EXPECT_EQ(ReadFile(FRoot / "Install.sxml").substr(0, 4), "SXML");
    ASSERT_EQ(Run({u"xml", P(FRoot / "Install.sxml"), P(FRoot / "back.xml"), u"--to", u"text"}), 0) << FConsole.FErr;
    EXPECT_NE(ReadFile(FRoot / "back.xml").find("ORVO \xD0\x96"), std::string::npos);
    EXPECT_EQ(Run({u"xml", P(FRoot / "Install.xml"), P(FRoot / "x.xml"), u"--to", u"bxml"}), 2);
    EXPECT_EQ(Run({u"xml", P(FRoot / "missing.xml"), P(FRoot / "x.xml"), u"--to", u"text"}), 1);
    EXPECT_FALSE(fs::exists(FRoot / "x.xml"));
}

TEST_F(IpkTest, OutputsAreReplacedWholeOrLeftAsTheyWere) {
    WriteFile(FRoot / "doc.xml", "<?xml version=\"1.0\"?><install><product/></install>");
    // Converted in place: the input is read before the output is written.
    ASSERT_EQ(Run({u"xml", P(FRoot / "doc.xml"), P(FRoot / "doc.xml"), u"--to", u"sxml"}), 0) << FConsole.FErr;
    EXPECT_EQ(ReadFile(FRoot / "doc.xml").substr(0, 4), "SXML");

    // A folder where the output belongs cannot be replaced: the error names it and says why, and
    // neither the folder nor a temporary file is left changed.
    const fs::path blocked = FRoot / "blocked";
    WriteFile(blocked / "inside.txt", "kept");
    const std::string expected = "ipk: cannot write \"" + StringToUtf8(P(blocked)) + "\": Cannot replace file \"";
    EXPECT_EQ(Run({u"pack", P(blocked), P(FRoot / "doc.xml")}), 1);
    EXPECT_EQ(FConsole.FErr.rfind(expected, 0), 0u) << FConsole.FErr;
    EXPECT_GT(FConsole.FErr.size(), expected.size() + P(blocked).size() + 4) << "no reason given";
    EXPECT_EQ(Run({u"xml", P(FRoot / "doc.xml"), P(blocked), u"--to", u"text"}), 1);
    EXPECT_EQ(FConsole.FErr.rfind(expected, 0), 0u) << FConsole.FErr;
    EXPECT_EQ(ReadFile(blocked / "inside.txt"), "kept");
    EXPECT_FALSE(fs::exists(FRoot / "blocked.partial"));
}

TEST_F(IpkTest, ExtractWritesEntriesNamedLikeTemporaryFiles) {
    // Entries are written beside their place first; "a" must not take "a.partial" for a leftover.
    const fs::path package = FRoot / "p.ipk";
    WriteFile(FRoot / "1", "entry one");
    WriteFile(FRoot / "2", "entry two");
    WriteFile(FRoot / "3", "entry three");
    // In the table, each name comes before the one it would be the temporary file of.
    ASSERT_EQ(Run({u"pack", P(package), u"--name", u"a.partial.partial=" + P(FRoot / "3"), u"--name",
                   u"a.partial=" + P(FRoot / "1"), u"--name", u"a=" + P(FRoot / "2")}),
              0)
        << FConsole.FErr;
    const fs::path out = FRoot / "out";
    ASSERT_EQ(Run({u"extract", P(package), u"-C", P(out)}), 0) << FConsole.FErr;
    EXPECT_EQ(ReadFile(out / "a.partial"), "entry one");
    EXPECT_EQ(ReadFile(out / "a"), "entry two");
    EXPECT_EQ(ReadFile(out / "a.partial.partial"), "entry three");
}

TEST_F(IpkTest, OutputNamedAsAnInputIsRefusedButSkippedInAFolder) {
    const fs::path package = FRoot / "tree" / "a.ipk";
    WriteFile(FRoot / "tree" / "file.txt", "data");
    ASSERT_EQ(Run({u"pack", P(package), P(FRoot / "tree")}), 0) << FConsole.FErr;
    const std::string first = ReadFile(package);
    // Packed again into the folder it walks: the package is not one of its own files.
    ASSERT_EQ(Run({u"pack", P(package), P(FRoot / "tree")}), 0) << FConsole.FErr;
    EXPECT_EQ(ReadFile(package), first);

    const std::vector<std::vector<String>> named = {{u"pack", P(package), P(package)},
                                                    {u"pack", P(package), u"--name", u"a.ipk=" + P(package)}};
    for (const auto& args : named) {
        EXPECT_EQ(Run(args), 1);
        EXPECT_NE(FConsole.FErr.find("is the output file"), std::string::npos) << FConsole.FErr;
        EXPECT_EQ(ReadFile(package), first);
    }
}

}  // namespace
}  // namespace uinst::ipk
