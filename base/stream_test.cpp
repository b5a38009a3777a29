#include "base/stream.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace uinst {
namespace {

TEST(MemoryStream, ReadsWritesSeeksAndRaisesAtTheEnd) {
    TMemoryStream s;
    s.WriteUInt32(0x01020304);
    s.WriteUInt16(0xABCD);
    EXPECT_EQ(s.Size(), 6);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadUInt32(), 0x01020304u);
    EXPECT_EQ(s.ReadUInt16(), 0xABCD);
    EXPECT_THROW(s.ReadUInt8(), EReadError);
    s.Seek(-2, TSeekOrigin::soEnd);
    EXPECT_EQ(s.Remaining(), 2);
    s.SetPosition(10);  // writing past the end grows the stream
    s.WriteUInt8(7);
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Bytes()[6], 0);
}

TEST(MemoryStream, CopyFromTakesExactCountsOrTheWholeSource) {
    TMemoryStream source(std::vector<uint8_t>(3 << 20, 0x5A));
    source.SetPosition(1);
    TMemoryStream target;
    target.CopyFrom(source, 5);
    EXPECT_EQ(target.Size(), 5);
    EXPECT_EQ(source.Position(), 6);
    target.Clear();
    target.CopyFrom(source, 0);
    EXPECT_EQ(target.Size(), 3 << 20);
    source.SetPosition(source.Size() - 1);
    EXPECT_THROW(target.CopyFrom(source, 2), EReadError);
}

TEST(MemoryStream, SizesBeyondTheAddressSpaceAreRefused) {
    if constexpr (sizeof(size_t) >= sizeof(int64_t)) {
        GTEST_SKIP() << "every size fits a 64-bit size_t";
    } else {
        TMemoryStream s;
        s.WriteUInt32(7);
        EXPECT_THROW(s.SetSize((int64_t(1) << 32) + 16), EWriteError);
        EXPECT_EQ(s.Size(), 4);
    }
}

TEST(FileStream, CreatesReadsBackAndReportsMissingFiles) {
    const String name = Utf8ToString(testing::TempDir()) + u"stream test.bin";
    {
        TORLFileStream file(name, TORLFileStream::TMode::fmCreate);
        file.WriteUInt32(42);
    }
    TMemoryStream loaded;
    loaded.LoadFromFile(name);
    EXPECT_EQ(loaded.ReadUInt32(), 42u);
    std::remove(StringToUtf8(name).c_str());
    try {
        TORLFileStream missing(name, TORLFileStream::TMode::fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message().rfind(u"Cannot open file \"" + name + u"\". ", 0), 0u);
    }
}

}  // namespace
}  // namespace uinst
