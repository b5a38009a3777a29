#include "product/backup_archive.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>

#include "base/paths.h"
#include "engine/engine_test_support.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/os_error.h"
#include "product/zip_writer.h"

namespace uinst {
namespace {

using namespace test;

std::vector<uint8_t> Text(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes;
    const char* words[] = {"backup ", "archive ", "piece ", "player ", "skin ", "plug-in ", "\r\n"};
    while (bytes.size() < size) {
        seed = seed * 1103515245 + 12345;
        const char* w = words[(seed >> 16) % 7];
        bytes.insert(bytes.end(), w, w + std::strlen(w));
    }
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> Noise(size_t size, uint64_t seed) {
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        b = uint8_t(seed);
    }
    return bytes;
}

// Text and noise in turns of 300 KB: pieces of both kinds, and matches across piece borders.
std::vector<uint8_t> Mixed(size_t size) {
    std::vector<uint8_t> bytes;
    for (uint32_t part = 0; bytes.size() < size; ++part) {
        const auto block = part % 2 ? Noise(300000, part + 1) : Text(300000, part);
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    bytes.resize(size);
    return bytes;
}

struct TStored {
    String Name;
    uint16_t Method = 0;
    uint32_t Attributes = 0;
    std::vector<uint8_t> Bytes;
};

// Every entry of an archive with its data, read by libzip (which checks each CRC).
std::vector<TStored> ReadArchive(const String& path) {
    std::vector<TStored> result;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_win32w_create(WidePtr(path), 0, -1, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    zip_error_fini(&error);
    if (!archive) {
        if (source) zip_source_free(source);
        ADD_FAILURE() << "cannot open " << StringToUtf8(path);
        return result;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        TStored entry;
        entry.Name = Utf8ToString(stat.name);
        entry.Method = stat.comp_method;
        uint8_t system = 0;
        zip_file_get_external_attributes(archive, zip_uint64_t(i), 0, &system, &entry.Attributes);
        entry.Bytes.resize(size_t(stat.size));
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        EXPECT_NE(file, nullptr) << stat.name;
        if (file) {
            EXPECT_EQ(zip_fread(file, entry.Bytes.data(), stat.size), zip_int64_t(stat.size)) << stat.name;
            EXPECT_EQ(zip_fclose(file), 0) << stat.name;  // a CRC that does not match fails here
        }
        result.push_back(std::move(entry));
    }
    zip_close(archive);
    return result;
}

void Write(const String& path, const std::vector<uint8_t>& bytes) {
    CreateDirectoryW(WidePtr(ExtractFilePath(path)), nullptr);
    WriteFileBytes(path, bytes.data(), bytes.size());
}

class BackupArchive : public ::testing::TestWithParam<int> {};

TEST_P(BackupArchive, KeepsEveryByteOfFilesOfAnySizeWithNamesAndAttributes) {
    TTempFolder folder;
    const String src = folder.Path();
    const std::vector<std::pair<String, std::vector<uint8_t>>> files = {
        {u"empty.txt", {}},
        {u"small.txt", Text(1000, 1)},
        {u"noise.bin", Noise(100000, 2)},
        {u"exactly one piece.bin", Mixed(1 << 20)},
        {u"exactly two pieces.bin", Mixed(2 << 20)},
        {u"\u0414\u0430\u043d\u043d\u044b\u0435\\\u65e5\u672c\u8a9e.dat", Mixed(3500000)},
    };
    std::vector<TBackupArchiveEntry> entries;
    for (const auto& [name, bytes] : files) {
        Write(src + u"in\\" + name, bytes);
        entries.push_back({src + u"in\\" + name, u"Program\\" + name});
    }
    ASSERT_TRUE(SetFileAttributesW(WidePtr(src + u"in\\small.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    std::vector<size_t> started;
    TBackupArchiveOptions options;
    options.Helpers = GetParam();
    WriteBackupArchive(
        src + u"out.zip", entries, [&](size_t i) { started.push_back(i); }, options);
    SetFileAttributesW(WidePtr(src + u"in\\small.txt"), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(started, (std::vector<size_t>{0, 1, 2, 3, 4, 5}));
    const auto stored = ReadArchive(src + u"out.zip");
    ASSERT_EQ(stored.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        String name = u"Program/" + files[i].first;
        std::replace(name.begin(), name.end(), u'\\', u'/');
        EXPECT_EQ(stored[i].Name, name);
        EXPECT_EQ(stored[i].Method, ZIP_CM_DEFLATE) << StringToUtf8(name);
        EXPECT_TRUE(stored[i].Bytes == files[i].second) << StringToUtf8(name);
    }
    EXPECT_EQ(stored[1].Attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | ~0xFFu),
              uint32_t(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(stored[2].Attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
}

// No helper (the caller compresses everything), one, and three.
INSTANTIATE_TEST_SUITE_P(Helpers, BackupArchive, ::testing::Values(0, 1, 3));

TEST(BackupArchiveErrors, TwoNamesThatDifferOnlyInCaseAreRefusedBeforeAnythingIsWritten) {
    TTempFolder folder;
    Write(folder.Path() + u"a.txt", Text(10, 1));
    Write(folder.Path() + u"b.txt", Text(10, 2));
    const std::vector<TBackupArchiveEntry> entries = {{folder.Path() + u"a.txt", u"Profiles\\john\\ORVO.ini"},
                                                      {folder.Path() + u"b.txt", u"profiles/JOHN/orvo.INI"}};
    try {
        WriteBackupArchive(folder.Path() + u"out.zip", entries, {});
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find(u"\"profiles/JOHN/orvo.INI\""), String::npos) << e.what();
    }
    EXPECT_FALSE(FileExists(folder.Path() + u"out.zip"));
}

TEST(BackupArchiveErrors, AnUnreadableFileIsNamedWithTheSystemsTextAndNoArchiveIsLeft) {
    TTempFolder folder;
    std::vector<TBackupArchiveEntry> entries;
    for (int i = 0; i < 20; ++i) {
        const String name = u"file" + Utf8ToString(std::to_string(i)) + u".txt";
        Write(folder.Path() + name, Text(5000, uint32_t(i)));
        entries.push_back({folder.Path() + name, name});
    }
    // A big one before it, so that pieces are still in flight when the error comes.
    Write(folder.Path() + u"big.bin", Mixed(3000000));
    entries.insert(entries.begin() + 5, {folder.Path() + u"big.bin", u"big.bin"});
    TUniqueFile locked(
        CreateFileW(WidePtr(folder.Path() + u"file12.txt"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    try {
        WriteBackupArchive(folder.Path() + u"out.zip", entries, {});
        FAIL() << "no error";
    } catch (const TBackupArchiveError& e) {
        EXPECT_EQ(e.Failure.FileName, folder.Path() + u"file12.txt");
        EXPECT_EQ(e.Failure.FileSize, 5000);
        EXPECT_EQ(e.Failure.SystemMessage, SysErrorMessage(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(e.Message(), u"Cannot read \"" + folder.Path() + u"file12.txt\": " + e.Failure.SystemMessage);
    }
    EXPECT_FALSE(FileExists(folder.Path() + u"out.zip"));
}

TEST(BackupArchiveErrors, AnArchiveThatCannotBeCreatedIsNamedWithTheSystemsText) {
    TTempFolder folder;
    Write(folder.Path() + u"a.txt", Text(10, 1));
    const String archive = folder.Path() + u"missing\\out.zip";
    try {
        WriteBackupArchive(archive, {{folder.Path() + u"a.txt", u"a.txt"}}, {});
        FAIL() << "no error";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Message(), u"Cannot create \"" + archive + u"\": " + SysErrorMessage(ERROR_PATH_NOT_FOUND));
    }
}

// The archive in memory, for the format's limits that real files would take long to reach.
class TMemoryOutput : public IZipOutput {
public:
    void Write(const void* data, size_t size) override {
        const auto* p = static_cast<const uint8_t*>(data);
        Bytes.insert(Bytes.end(), p, p + size);
    }
    void Patch(uint64_t offset, const void* data, size_t size) override {
        ASSERT_LE(offset + size, Bytes.size());
        std::memcpy(Bytes.data() + offset, data, size);
    }
    std::vector<uint8_t> Bytes;
};

TEST(ZipWriter, MoreThan65535EntriesAndAnEntryAnnouncedAsHugeGetZip64Records) {
    TMemoryOutput output;
    TZipWriter zip(output, 4);
    const uint8_t emptyDeflate[] = {0x03, 0x00};
    const uint8_t storedHello[] = {0x01, 0x05, 0x00, 0xFA, 0xFF, 'h', 'e', 'l', 'l', 'o'};
    TZipEntryInfo huge;
    huge.Name = "huge.bin";
    huge.ExpectedSize = uint64_t(5) << 30;  // it shrank to five bytes before it was read
    zip.BeginEntry(huge);
    zip.WriteData(storedHello, sizeof storedHello);
    zip.EndEntry(0x3610a686, 5);  // CRC-32 of "hello"
    constexpr int kEntries = 70000;
    for (int i = 1; i < kEntries; ++i) {
        TZipEntryInfo info;
        info.Name = "f" + std::to_string(i);
        zip.BeginEntry(info);
        zip.WriteData(emptyDeflate, sizeof emptyDeflate);
        zip.EndEntry(0, 0);
    }
    zip.Finish();

    TTempFolder folder;
    WriteFileBytes(folder.Path() + u"many.zip", output.Bytes.data(), output.Bytes.size());
    const auto stored = ReadArchive(folder.Path() + u"many.zip");
    ASSERT_EQ(stored.size(), size_t(kEntries));
    EXPECT_EQ(stored[0].Name, u"huge.bin");
    EXPECT_EQ(std::string(stored[0].Bytes.begin(), stored[0].Bytes.end()), "hello");
    EXPECT_EQ(stored[kEntries - 1].Name, u"f69999");
}

TEST(ZipWriter, DosTimesAreLocalTimesInTwoSecondStepsWithinTheFormatsYears) {
    TDosClock clock;
    auto dos = [&](WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
        SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0}, utc;
        FILETIME time;
        TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
        SystemTimeToFileTime(&utc, &time);
        uint16_t date = 0, clockTime = 0;
        clock.DosDateTime(time, date, clockTime);
        return std::pair<int, int>(date, clockTime);
    };
    EXPECT_EQ(dos(2021, 6, 15, 13, 45, 31), std::pair((41 << 9) | (6 << 5) | 15, (13 << 11) | (45 << 5) | 15));
    EXPECT_EQ(dos(2021, 1, 3, 23, 59, 58), std::pair((41 << 9) | (1 << 5) | 3, (23 << 11) | (59 << 5) | 29));
    EXPECT_EQ(dos(1970, 1, 2, 0, 0, 0), std::pair((0 << 9) | (1 << 5) | 1, 0));  // before 1980: its first day
}

}  // namespace
}  // namespace uinst
