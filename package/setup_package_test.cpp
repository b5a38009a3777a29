#include "package/setup_package.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "package/crc32.h"
#include "package/lzma_coder.h"
#include "package/rc4.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace uinst {
namespace {

TMemoryStream Bytes(std::string_view text) {
    return TMemoryStream(text.data(), text.size());
}

std::vector<uint8_t> Build(const std::vector<std::pair<String, std::string>>& files, int level = 4) {
    TSetupPackageBuilder builder(SetupPackageKey);
    for (const auto& [name, data] : files) {
        TMemoryStream stream = Bytes(data);
        builder.Add(stream, name);
    }
    TMemoryStream out;
    builder.Commit(out, level);
    return out.TakeBytes();
}

std::unique_ptr<TSetupPackageReader> Open(const std::vector<uint8_t>& package) {
    TReadOnlyMemoryStream stream(package.data(), package.size());
    return std::make_unique<TSetupPackageReader>(stream);
}

// A package around any content, with a correct header: for contents no builder would write.
std::vector<uint8_t> Wrap(const std::vector<uint8_t>& content) {
    TMemoryStream out;
    out.WriteBuffer("IPK5", 4);
    out.WriteUInt32(TORLHashCRC32::Calculate(content.data(), content.size()));
    out.WriteUInt32(static_cast<uint32_t>(content.size()));
    const uint8_t key[4] = {uint8_t(SetupPackageKey), uint8_t(SetupPackageKey >> 8), uint8_t(SetupPackageKey >> 16),
                            uint8_t(SetupPackageKey >> 24)};
    TMemoryStream source(content.data(), content.size());
    LZMAEncode(source, out, 0, MakeRC4Preprocessor(key, 4));
    return out.TakeBytes();
}

std::string ExtractText(TSetupPackageReader& reader, StringView name) {
    std::unique_ptr<TMemoryStream> stream;
    if (!reader.Extract(name, stream)) return "<missing>";
    EXPECT_EQ(stream->Position(), 0);
    return std::string(stream->Bytes().begin(), stream->Bytes().end());
}

void PutLE(std::vector<uint8_t>& v, uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) v.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

TEST(SetupPackage, ContentLayoutOfTwoFiles) {
    auto reader = Open(Build({{u"A", "abc"}, {u"B", "defgh"}}));
    ASSERT_EQ(reader->FileTable().Count(), 2);
    EXPECT_EQ(reader->FileTable().Items(0).Offset, 0);
    EXPECT_EQ(reader->FileTable().Items(0).Size, 3);
    EXPECT_EQ(reader->FileTable().Items(1).Offset, 3);
    EXPECT_EQ(reader->FileTable().Items(1).Size, 5);

    std::vector<uint8_t> expected = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    PutLE(expected, 2, 4);
    for (auto [name, offset, size] : {std::tuple{'A', 0, 3}, std::tuple{'B', 3, 5}}) {
        PutLE(expected, 1, 2);
        PutLE(expected, uint8_t(name), 2);
        PutLE(expected, offset, 8);
        PutLE(expected, size, 8);
    }
    PutLE(expected, 4 + 2 * 20, 4);
    EXPECT_EQ(reader->Content(), expected);
    EXPECT_EQ(ExtractText(*reader, u"B"), "defgh");
}

TEST(SetupPackage, HeaderAndBody) {
    const auto package = Build({{u"Uninstall.ini", "[Uninstall]\r\n"}});
    auto reader = Open(package);
    const auto& content = reader->Content();
    ASSERT_GE(package.size(), 17u);
    EXPECT_EQ(std::string(package.begin(), package.begin() + 4), "IPK5");
    EXPECT_EQ(uint32_t(package[4] | package[5] << 8 | package[6] << 16 | uint32_t(package[7]) << 24),
              TORLHashCRC32::Calculate(content.data(), content.size()));
    EXPECT_EQ(uint32_t(package[8] | package[9] << 8), content.size());
    // The deciphered body starts with the level-4 property bytes.
    const uint8_t key[4] = {uint8_t(SetupPackageKey), uint8_t(SetupPackageKey >> 8), uint8_t(SetupPackageKey >> 16),
                            uint8_t(SetupPackageKey >> 24)};
    TRC4Context rc4;
    TRC4::Initialize(rc4, key, 4);
    uint8_t body[5];
    TRC4::Crypt(rc4, package.data() + 12, 5, body);
    EXPECT_EQ(std::vector<uint8_t>(body, body + 5), (std::vector<uint8_t>{0x5D, 0x00, 0x00, 0x40, 0x00}));
}

TEST(SetupPackage, EmptyPackage) {
    auto reader = Open(Build({}));
    EXPECT_EQ(reader->FileTable().Count(), 0);
    EXPECT_EQ(reader->Content(), (std::vector<uint8_t>{0, 0, 0, 0, 4, 0, 0, 0}));
}

TEST(SetupPackage, Lookup) {
    auto reader = Open(Build({{u"Install.xml", "<xml/>"},
                              {u"Empty.txt", ""},
                              {u"Twice", "first"},
                              {u"twice", "second"},
                              {u"Skins\\\u00C4rger.skn", "umlaut"}}));
    EXPECT_TRUE(reader->Contains(u"install.xml"));
    EXPECT_EQ(ExtractText(*reader, u"INSTALL.XML"), "<xml/>");
    EXPECT_FALSE(reader->Contains(u"Install.xml "));
    EXPECT_FALSE(reader->Contains(u"Install.xm"));
    EXPECT_EQ(ExtractText(*reader, u"Install.xml "), "<missing>");

    EXPECT_TRUE(reader->Contains(u"empty.txt"));
    EXPECT_EQ(ExtractText(*reader, u"Empty.txt"), "");

    EXPECT_EQ(ExtractText(*reader, u"TWICE"), "first");
    EXPECT_EQ(ExtractText(*reader, u"skins\\\u00E4rger.SKN"), "umlaut");
}

TEST(SetupPackage, AddedOffsetsAreTheSumOfEarlierSizes) {
    TSetupPackageBuilder builder(SetupPackageKey);
    std::mt19937 random(11);
    int64_t total = 0;
    std::vector<std::string> files;
    for (int n = 0; n < 40; ++n) {
        std::string data(random() % 3000, '\0');
        for (auto& c : data) c = static_cast<char>(random());
        TMemoryStream stream = Bytes(data);
        stream.SetPosition(0);
        builder.Add(stream, Ascii(std::string("f").append(std::to_string(n))));
        files.push_back(data);
    }
    TMemoryStream out;
    builder.Commit(out, 1);
    auto reader = Open(out.TakeBytes());
    ASSERT_EQ(reader->FileTable().Count(), 40);
    for (int n = 0; n < 40; ++n) {
        const auto& item = reader->FileTable().Items(n);
        EXPECT_EQ(item.Offset, total);
        EXPECT_EQ(item.Size, static_cast<int64_t>(files[n].size()));
        EXPECT_EQ(ExtractText(*reader, item.Name), files[n]);
        total += item.Size;
    }
}

TEST(SetupPackage, AddOfAStreamThatEndsEarlyLeavesTheBuilderAsItWas) {
    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream good = Bytes("good");
    builder.Add(good, u"good");
    TMemoryStream late = Bytes("not at the start");
    late.SetPosition(4);
    EXPECT_THROW(builder.Add(late, u"late"), EReadError);
    TMemoryStream out;
    builder.Commit(out, 4);
    auto reader = Open(out.TakeBytes());
    EXPECT_EQ(reader->FileTable().Count(), 1);
    EXPECT_EQ(ExtractText(*reader, u"good"), "good");
    EXPECT_EQ(reader->Content().size(), 4u + 4 + 2 + 8 + 16 + 4);
}

// Says it holds far more than it does: nothing may be read or reserved for it.
class THugeStream : public TStream {
public:
    explicit THugeStream(int64_t size) : FSize(size) {}
    size_t Read(void*, size_t) override {
        ++FReads;
        return 0;
    }
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        return origin == TSeekOrigin::soEnd ? FSize + offset : offset;
    }
    int64_t Size() override { return FSize; }
    void SetSize(int64_t) override {}
    int FReads = 0;

private:
    int64_t FSize;
};

TEST(SetupPackage, ContentBeyondFourGiBIsRefusedBeforeReading) {
    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream small = Bytes("kept");
    builder.Add(small, u"small");
    // 4 GiB in all with the four bytes before it: cut to 32 bits it would be a tiny buffer.
    for (const int64_t size : {int64_t(UINT32_MAX) - 3, int64_t(1) << 32, int64_t(1) << 40}) {
        THugeStream huge(size);
        try {
            builder.Add(huge, u"huge.bin");
            FAIL() << size;
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(u"\"huge.bin\""), String::npos);
            EXPECT_NE(e.Message().find(u"4 GiB"), String::npos);
        }
        EXPECT_EQ(huge.FReads, 0);
    }
    TMemoryStream out;
    builder.Commit(out, 0);
    auto reader = Open(out.TakeBytes());
    EXPECT_EQ(reader->FileTable().Count(), 1);
    EXPECT_EQ(ExtractText(*reader, u"small"), "kept");
}

TEST(SetupPackage, OverlongNameIsRefused) {
    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream data = Bytes("x");
    EXPECT_THROW(builder.Add(data, String(65536, u'n')), Exception);
    builder.Add(data, String(65535, u'n'));
    TMemoryStream out;
    builder.Commit(out, 4);
    auto reader = Open(out.TakeBytes());
    EXPECT_EQ(reader->FileTable().Items(0).Name.size(), 65535u);
}

TEST(SetupPackage, EveryChangedByteIsRejected) {
    std::string text;
    for (int n = 0; n < 40; ++n) text.append("line ").append(std::to_string(n * n)).append("\r\n");
    const auto package = Build({{u"a.txt", text}, {u"b.bin", std::string("\x01\x02\x03\xFF", 4)}});
    for (size_t at = 0; at < package.size(); ++at) {
        // Bytes 13 to 16 hold the dictionary size. It only bounds how far back the coder may
        // reach, so for a content smaller than the dictionary any value that still covers it
        // decodes to the same, checksummed bytes: nothing to reject there.
        if (at >= 13 && at <= 16) continue;
        for (uint8_t flip : {uint8_t(0x01), uint8_t(0x80)}) {
            auto damaged = package;
            damaged[at] ^= flip;
            try {
                Open(damaged);
                ADD_FAILURE() << "byte " << at << " accepted";
            } catch (const ESetupPackageReadError& e) {
                EXPECT_EQ(e.Message(), u"Package was corrupted");
            } catch (const ELZMAError&) {
                EXPECT_GE(at, 12u);  // only the body reaches the coder
            }
        }
    }
}

TEST(SetupPackage, HeaderDamage) {
    auto package = Build({{u"x", "y"}});
    auto lower = package;
    lower[0] = 'i';
    EXPECT_THROW(Open(lower), ESetupPackageReadError);
    lower = package;
    lower[3] = 'k' - 'K' + '5';
    EXPECT_THROW(Open(lower), ESetupPackageReadError);
    // Shorter than the header: the stream's own read error.
    EXPECT_THROW(Open(std::vector<uint8_t>(package.begin(), package.begin() + 11)), EReadError);
    // The body cut short.
    EXPECT_THROW(Open(std::vector<uint8_t>(package.begin(), package.end() - 3)), ESetupPackageReadError);
    // A declared length far larger than the body could hold.
    auto longer = package;
    longer[11] = 0x7F;
    EXPECT_THROW(Open(longer), ESetupPackageReadError);
}

TEST(SetupPackage, ContentFarLargerThanItsBody) {
    // Packs far better than the reader reserves up front for: the content grows as it arrives and
    // still ends without slack; any other length in the header is refused.
    std::string text;
    while (text.size() < (6 << 20)) text.append("<file name=\"Skins\\Default\\button.png\"/>\r\n");
    const auto package = Build({{u"list.xml", text}});
    ASSERT_LT(package.size() * 16, text.size());
    auto reader = Open(package);
    EXPECT_EQ(ExtractText(*reader, u"list.xml"), text);
    EXPECT_EQ(reader->Content().capacity(), reader->Content().size());

    const uint32_t length = uint32_t(reader->Content().size());
    for (uint32_t wrong : {length - 1, length + 1, length * 2, length * 40, 0xFFFFFFFFu}) {
        auto damaged = package;
        for (int k = 0; k < 4; ++k) damaged[8 + k] = uint8_t(wrong >> (8 * k));
        EXPECT_THROW(Open(damaged), ESetupPackageReadError) << wrong;
    }
}

TEST(SetupPackage, TablesReachingOutsideTheContent) {
    // Table length larger than the content.
    EXPECT_THROW(Open(Wrap({0, 0, 0, 0, 9, 0, 0, 0})), EReadError);
    EXPECT_THROW(Open(Wrap({0xFF, 0xFF, 0xFF, 0xFF})), EReadError);
    EXPECT_THROW(Open(Wrap({1, 2, 3})), EReadError);
    // Count larger than the entries stored.
    EXPECT_THROW(Open(Wrap({5, 0, 0, 0, 4, 0, 0, 0})), EReadError);
    // A name length past the table's end.
    EXPECT_THROW(Open(Wrap({1, 0, 0, 0, 0xFF, 0xFF, 6, 0, 0, 0})), EReadError);
    // A negative count reads as an empty table.
    EXPECT_EQ(Open(Wrap({0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0}))->FileTable().Count(), 0);

    // Entries whose ranges leave the content fail when extracted, not before.
    auto entry = [](std::vector<uint8_t>& v, char name, int64_t offset, int64_t size) {
        PutLE(v, 1, 2);
        PutLE(v, uint8_t(name), 2);
        PutLE(v, uint64_t(offset), 8);
        PutLE(v, uint64_t(size), 8);
    };
    std::vector<uint8_t> content = {'d', 'a', 't', 'a'};
    PutLE(content, 5, 4);
    entry(content, 'a', 0, 4);
    entry(content, 'b', 2, 200);
    entry(content, 'c', -1, 1);
    entry(content, 'd', INT64_MAX, INT64_MAX);
    entry(content, 'e', 1, -2);
    PutLE(content, 4 + 5 * 20, 4);
    auto reader = Open(Wrap(content));
    ASSERT_EQ(reader->FileTable().Count(), 5);
    EXPECT_EQ(ExtractText(*reader, u"a"), "data");
    for (auto name : {u"b", u"c", u"d", u"e"}) {
        std::unique_ptr<TMemoryStream> stream;
        EXPECT_THROW(reader->Extract(name, stream), EReadError);
        const TSetupPackageFileTableItem* item;
        ASSERT_TRUE(reader->FileTable().Find(name, item));
        EXPECT_FALSE(reader->ItemInContent(*item));
    }
}

TEST(SetupPackage, ReadsFromTheStreamPosition) {
    const auto package = Build({{u"f", "payload"}});
    std::vector<uint8_t> embedded(100, 'x');
    embedded.insert(embedded.end(), package.begin(), package.end());
    TMemoryStream stream(embedded.data(), embedded.size());
    stream.SetPosition(100);
    TSetupPackageReader reader(stream);
    EXPECT_EQ(ExtractText(reader, u"f"), "payload");
}

TEST(SetupPackage, LargerContentAcrossManyBlocks) {
    std::mt19937 random(5);
    std::string noise(700000, '\0'), text;
    for (auto& c : noise) c = static_cast<char>(random());
    while (text.size() < 900000)
        text.append("<file name=\"").append(std::to_string(random() % 1000)).append(".dll\"/>\r\n");
    auto reader = Open(Build({{u"noise", noise}, {u"text", text}}, 4));
    EXPECT_EQ(ExtractText(*reader, u"noise"), noise);
    EXPECT_EQ(ExtractText(*reader, u"text"), text);
}

TEST(SetupPackage, FilesOnDisk) {
    const auto folder = std::filesystem::temp_directory_path() / "uinst_package_test";
    std::filesystem::create_directories(folder);
    const String name = (folder / "Uninstall.dat").u16string();
    {
        TSetupPackageBuilder builder(SetupPackageKey);
        TMemoryStream ini = Bytes("[General]\r\n");
        builder.Add(ini, u"Uninstall.ini");
        builder.Commit(name, 4);
    }
    TSetupPackageReader reader{StringView(name)};
    EXPECT_EQ(ExtractText(reader, u"uninstall.ini"), "[General]\r\n");

    EXPECT_THROW(TSetupPackageReader{StringView((folder / "missing.dat").u16string())}, EFOpenError);
    TSetupPackageBuilder builder(SetupPackageKey);
    EXPECT_THROW(builder.Commit((folder / "no" / "such" / "folder.dat").u16string(), 4), EFOpenError);
    std::filesystem::remove_all(folder);
}

TEST(SetupPackage, FailedCommitKeepsTheOlderPackage) {
    const auto folder = std::filesystem::temp_directory_path() / "uinst_package_commit_test";
    std::filesystem::create_directories(folder);
    const String name = (folder / "Uninstall.dat").u16string();
    {
        TSetupPackageBuilder builder(SetupPackageKey);
        TMemoryStream ini = Bytes("old");
        builder.Add(ini, u"Uninstall.ini");
        builder.Commit(name, 4);
    }
    TSetupPackageBuilder builder(SetupPackageKey);
    TMemoryStream ini = Bytes(std::string(100000, 'n'));
    builder.Add(ini, u"Uninstall.ini");
    // Stops half way through the compression, after the header has been written.
    const auto stop = [](int64_t done, int64_t) {
        if (done > 0) throw EWriteError(u"stopped");
    };
    EXPECT_THROW(builder.Commit(name, 4, stop), EWriteError);
    TSetupPackageReader reader{StringView(name)};
    EXPECT_EQ(ExtractText(reader, u"Uninstall.ini"), "old");
    EXPECT_EQ(std::filesystem::directory_iterator(folder)->path().filename(), "Uninstall.dat");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
    std::filesystem::remove_all(folder);
}

#ifdef _WIN32
TEST(SetupPackage, FromResource) {
    TSetupPackageReader reader(GetModuleHandleW(nullptr), u"RESOURCE_TEST");
    EXPECT_EQ(ExtractText(reader, u"install.xml"), "<?xml version=\"1.0\"?>\r\n<Install/>\r\n");
    EXPECT_EQ(ExtractText(reader, u"SKINS\\dark.txt"), "dark");
    try {
        TSetupPackageReader missing(GetModuleHandleW(nullptr), u"NO_SUCH_PACKAGE");
        FAIL() << "no error";
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message(), u"Resource NO_SUCH_PACKAGE not found");
    }
}
#endif

}  // namespace
}  // namespace uinst
