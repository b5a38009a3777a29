// Package throughput and memory: opening against liblzma's own raw decoding of the same stream,
// committing against liblzma's raw encoding with the same options, the checksum against memcpy,
// and the peak memory of opening. Each comparison times both sides alternately within one
// benchmark and counts the thread's CPU time, so a busy machine disturbs both alike; the ratio is
// reported as a counter.
#include <benchmark/benchmark.h>
#include <lzma.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "package/crc32.h"
#include "package/lzma_coder.h"
#include "package/rc4.h"
#include "package/setup_package.h"

// ---------------------------------------------------------------------------------------------
// Counting allocator: every malloc of the process (ours, the C++ runtime's and liblzma's) goes
// through these, so the peak of live bytes during an open can be read exactly.

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* __libc_memalign(size_t, size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<int64_t> gLive{0}, gPeak{0};

void Account(void* p, int64_t sign) {
    if (!p) return;
    const int64_t live = gLive.fetch_add(sign * int64_t(malloc_usable_size(p))) + sign * int64_t(malloc_usable_size(p));
    int64_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
}
}  // namespace

extern "C" {
void* malloc(size_t size) {
    void* p = __libc_malloc(size);
    Account(p, 1);
    return p;
}
void* calloc(size_t n, size_t size) {
    void* p = __libc_calloc(n, size);
    Account(p, 1);
    return p;
}
void* realloc(void* old, size_t size) {
    if (old) gLive.fetch_sub(int64_t(malloc_usable_size(old)));
    void* p = __libc_realloc(old, size);
    if (!p && old) gLive.fetch_add(int64_t(malloc_usable_size(old)));
    Account(p, 1);
    return p;
}
void free(void* p) {
    if (p) gLive.fetch_sub(int64_t(malloc_usable_size(p)));
    __libc_free(p);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    void* p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    Account(p, 1);
    *out = p;
    return 0;
}
void* aligned_alloc(size_t alignment, size_t size) {
    void* p = __libc_memalign(alignment, size);
    Account(p, 1);
    return p;
}
void* memalign(size_t alignment, size_t size) {
    return aligned_alloc(alignment, size);
}
}

namespace {

using namespace uinst;
// The calling thread's CPU time: other programs on the machine do not count.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static time_point now() {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return time_point(duration(int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec));
    }
};

constexpr size_t kContentSize = 64u << 20;
constexpr size_t kFileSize = 1u << 20;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// One third each: text-like (markup and words), binary (tables of small numbers, code-like
// bytes) and already-compressed (random) bytes, interleaved as files of 1 MiB.
std::vector<uint8_t> MakeFile(int kind, std::mt19937& random) {
    std::vector<uint8_t> data;
    data.reserve(kFileSize);
    if (kind == 0) {
        static const char* words[] = {"player", "skin",    "track",  "volume", "playlist", "equalizer",
                                      "album",  "artist",  "ORVO",   "plugin", "visual",   "library",
                                      "genre",  "bitrate", "output", "stream"};
        while (data.size() < kFileSize) {
            std::string line = "<item id=\"" + std::to_string(random() % 100000) + "\" name=\"";
            for (int n = 0, k = 2 + random() % 8; n < k; ++n) line.append(words[random() % 16]).append(" ");
            line += "\"/>\r\n";
            data.insert(data.end(), line.begin(), line.end());
        }
    } else if (kind == 1) {
        uint32_t value = random();
        while (data.size() < kFileSize) {
            if (random() % 3 == 0) {
                const uint8_t op[] = {0x8B, 0x45, 0x89, 0xE8, 0xFF, 0x15, 0x83, 0xC4};
                for (int n = 0; n < 8; ++n) data.push_back(random() % 2 ? op[random() % 8] : uint8_t(random() % 16));
            } else {
                value += random() % 64;
                for (int k = 0; k < 4; ++k) data.push_back(uint8_t(value >> (8 * k)));
            }
        }
    } else {
        while (data.size() < kFileSize) data.push_back(static_cast<uint8_t>(random()));
    }
    data.resize(kFileSize);
    return data;
}

struct TFixture {
    std::vector<std::vector<uint8_t>> Files;
    std::vector<uint8_t> Package;  // level 4
    std::vector<uint8_t> Content;  // decoded content: files, table, table length
    std::vector<uint8_t> Coded;    // the deciphered body without the five property bytes

    TFixture() {
        std::mt19937 random(2024);
        for (size_t n = 0; n < kContentSize / kFileSize; ++n) Files.push_back(MakeFile(int(n % 3), random));
        auto builder = MakeBuilder();
        TMemoryStream out;
        builder->Commit(out, 4);
        Package = out.TakeBytes();
        TReadOnlyMemoryStream stream(Package.data(), Package.size());
        TSetupPackageReader reader(stream);
        Content = reader.Content();
        Coded.assign(Package.begin() + 12, Package.end());
        const uint8_t key[4] = {uint8_t(SetupPackageKey), uint8_t(SetupPackageKey >> 8), uint8_t(SetupPackageKey >> 16),
                                uint8_t(SetupPackageKey >> 24)};
        TRC4Context rc4;
        TRC4::Initialize(rc4, key, 4);
        TRC4::Crypt(rc4, Coded.data(), Coded.size(), Coded.data());
        Coded.erase(Coded.begin(), Coded.begin() + 5);
    }

    std::unique_ptr<TSetupPackageBuilder> MakeBuilder() const {
        auto builder = std::make_unique<TSetupPackageBuilder>(SetupPackageKey);
        for (size_t n = 0; n < Files.size(); ++n) {
            TReadOnlyMemoryStream stream(Files[n].data(), Files[n].size());
            builder->Add(stream, u"file" + Ascii(std::to_string(n)) + u".bin");
        }
        return builder;
    }
};

const TFixture& Fixture() {
    static TFixture fixture;
    return fixture;
}

lzma_options_lzma Level4Options(uint64_t size) {
    lzma_options_lzma options{};
    options.dict_size = 4u << 20;
    options.lc = 3, options.lp = 0, options.pb = 2;
    options.mode = LZMA_MODE_FAST;
    options.nice_len = 32;
    options.mf = LZMA_MF_HC4;
    options.depth = 16;
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(options, size);
    return options;
}

// liblzma alone: one call, whole input, into a fresh output buffer (as the reader's content is).
Clock::duration LiblzmaDecode(const TFixture& f) {
    const auto start = Clock::now();
    auto options = Level4Options(f.Content.size());
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&strm, filters) != LZMA_OK) std::abort();
    const auto out = std::make_unique_for_overwrite<uint8_t[]>(f.Content.size());
    strm.next_in = f.Coded.data();
    strm.avail_in = f.Coded.size();
    strm.next_out = out.get();
    strm.avail_out = f.Content.size();
    const lzma_ret ret = lzma_code(&strm, LZMA_RUN);
    lzma_end(&strm);
    const auto time = Clock::now() - start;
    if (ret != LZMA_STREAM_END || std::memcmp(out.get(), f.Content.data(), f.Content.size()) != 0) std::abort();
    return time;
}

Clock::duration OpenPackage(const TFixture& f) {
    const auto start = Clock::now();
    TReadOnlyMemoryStream stream(f.Package.data(), f.Package.size());
    TSetupPackageReader reader(stream);
    const auto time = Clock::now() - start;
    if (reader.FileTable().Count() != int(f.Files.size())) std::abort();
    return time;
}

void BM_OpenPackage(benchmark::State& state) {
    const auto& f = Fixture();
    double ours = 1e9, theirs = 1e9;
    for (auto _ : state) {
        const double a = Seconds(LiblzmaDecode(f));
        const double b = Seconds(OpenPackage(f));
        theirs = std::min(theirs, a);
        ours = std::min(ours, b);
        state.SetIterationTime(b);
    }
    const double mb = double(f.Content.size()) / 1e6;
    state.SetBytesProcessed(int64_t(state.iterations() * f.Content.size()));
    state.counters["open_MBps"] = mb / ours;
    state.counters["liblzma_MBps"] = mb / theirs;
    state.counters["ratio"] = theirs / ours;
    state.counters["packed_MB"] = double(f.Package.size()) / 1e6;
}
BENCHMARK(BM_OpenPackage)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_CommitLevel4(benchmark::State& state) {
    const auto& f = Fixture();
    double ours = 1e9, theirs = 1e9;
    for (auto _ : state) {
        // liblzma alone, same options, whole content in one buffer.
        std::vector<uint8_t> out(f.Content.size() + f.Content.size() / 8 + 65536);
        auto options = Level4Options(0);
        options.ext_flags = 0;
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        auto start = Clock::now();
        size_t used = 0;
        if (lzma_raw_buffer_encode(filters, nullptr, f.Content.data(), f.Content.size(), out.data(), &used,
                                   out.size()) != LZMA_OK)
            std::abort();
        theirs = std::min(theirs, Seconds(Clock::now() - start));

        auto builder = f.MakeBuilder();
        TMemoryStream package;
        start = Clock::now();
        builder->Commit(package, 4);
        const double b = Seconds(Clock::now() - start);
        ours = std::min(ours, b);
        state.SetIterationTime(b);
        if (package.Size() != int64_t(f.Package.size())) std::abort();
    }
    const double mb = double(f.Content.size()) / 1e6;
    state.SetBytesProcessed(int64_t(state.iterations() * f.Content.size()));
    state.counters["commit_MBps"] = mb / ours;
    state.counters["liblzma_MBps"] = mb / theirs;
    state.counters["ratio"] = theirs / ours;
}
BENCHMARK(BM_CommitLevel4)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_Crc32(benchmark::State& state) {
    const auto& f = Fixture();
    std::vector<uint8_t> copy(f.Content.size());
    double crc = 1e9, mem = 1e9;
    for (auto _ : state) {
        auto start = Clock::now();
        std::memcpy(copy.data(), f.Content.data(), f.Content.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        mem = std::min(mem, Seconds(Clock::now() - start));
        start = Clock::now();
        benchmark::DoNotOptimize(TORLHashCRC32::Calculate(f.Content.data(), f.Content.size()));
        const double c = Seconds(Clock::now() - start);
        crc = std::min(crc, c);
        state.SetIterationTime(c);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * f.Content.size()));
    state.counters["crc_GBps"] = double(f.Content.size()) / 1e9 / crc;
    state.counters["memcpy_GBps"] = double(f.Content.size()) / 1e9 / mem;
    state.counters["crc_per_memcpy"] = mem / crc;
}
BENCHMARK(BM_Crc32)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_RC4(benchmark::State& state) {
    const auto& f = Fixture();
    std::vector<uint8_t> block(65536);
    TRC4Context rc4;
    TRC4::Initialize(rc4, "key", 3);
    for (auto _ : state) {
        for (size_t at = 0; at + block.size() <= f.Coded.size(); at += block.size()) {
            TRC4::Crypt(rc4, f.Coded.data() + at, block.size(), block.data());
            benchmark::DoNotOptimize(block.data());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * (f.Coded.size() / block.size() * block.size())));
}
BENCHMARK(BM_RC4)->Unit(benchmark::kMillisecond);

int64_t ProcStatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field)));
    return -1;
}

// Peak of live heap bytes while a package is opened (everything the open allocates: content,
// decoder, buffers), and the growth of resident memory as the kernel counts it.
void BM_OpenPeakMemory(benchmark::State& state) {
    const auto& f = Fixture();
    int64_t peak = 0, rss = 0;
    for (auto _ : state) {
        malloc_trim(0);
        { std::ofstream("/proc/self/clear_refs") << "5"; }  // resets the resident high-water mark
        const int64_t rssBefore = ProcStatusKiB("VmRSS:");
        const int64_t before = gLive.load();
        gPeak.store(before);
        {
            TReadOnlyMemoryStream stream(f.Package.data(), f.Package.size());
            TSetupPackageReader reader(stream);
            peak = gPeak.load() - before;
            rss = (ProcStatusKiB("VmHWM:") - rssBefore) * 1024;
        }
    }
    const double content = double(f.Content.size());
    state.counters["content_MiB"] = content / 1048576;
    state.counters["peak_heap_MiB"] = double(peak) / 1048576;
    state.counters["peak_heap_over_content_MiB"] = (double(peak) - content) / 1048576;
    state.counters["peak_rss_growth_MiB"] = double(rss) / 1048576;
}
BENCHMARK(BM_OpenPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
