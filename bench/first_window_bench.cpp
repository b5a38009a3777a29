// Time from the start of the setup program to its first window (the busy window or the language
// dialog) and to the language dialog, for the built program and for a copy whose product package
// carries a filler file that brings it to the given size. A self-timing Windows program, run by
// hand under Wine:
//     first_window_bench.exe [--product-mb 60] [--rounds 5]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/string.h"
#include "package/setup_package.h"
#include "platform/files.h"
#include "platform/handles.h"

namespace {

using namespace uinst;

String BinFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    String folder = FromWide(path);
    return folder.substr(0, folder.find_last_of(u'\\') + 1);
}

struct TFind {
    DWORD Process;
    bool Dialog = false;
    bool Any = false;
};

BOOL CALLBACK FindWindows(HWND window, LPARAM data) {
    auto* find = reinterpret_cast<TFind*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != find->Process || !IsWindowVisible(window)) return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, L"uinst.TInstallerLanguageDialog") == 0) find->Dialog = find->Any = true;
    if (lstrcmpW(name, L"uinst.TStartupWindow") == 0) find->Any = true;
    return TRUE;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts the program and returns the seconds to its first window and to the language dialog.
std::pair<double, double> Measure(const String& program) {
    String line = u"\"" + program + u"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, WidePtr(line), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return {-1, -1};
    TUniqueHandle process(pi.hProcess), thread(pi.hThread);
    double first = -1, dialog = -1;
    while (dialog < 0) {
        TFind find{pi.dwProcessId};
        EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&find));
        QueryPerformanceCounter(&now);
        if (find.Any && first < 0) first = Seconds(start, now);
        if (find.Dialog) dialog = Seconds(start, now);
        if (Seconds(start, now) > 60 || WaitForSingleObject(pi.hProcess, 2) == WAIT_OBJECT_0) break;
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    return {first, dialog};
}

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR data) {
    *reinterpret_cast<WORD*>(data) = language;
    return FALSE;
}

// A copy of the program whose product package also holds a filler of about that many megabytes
// (half of it compressible, like program files).
String MakeLargeCopy(const String& program, int megabytes) {
    const String copy = BinFolder() + u"uInstaller-bench.exe";
    CopyFileW(WidePtr(program), WidePtr(copy), FALSE);
    WORD language = 0;
    std::unique_ptr<TSetupPackageReader> product;
    {
        TUniqueModule module(LoadLibraryExW(WidePtr(program), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        EnumResourceLanguagesW(module.Get(), MAKEINTRESOURCEW(10), L"PRODUCT", FirstLanguage,
                               reinterpret_cast<LONG_PTR>(&language));
        product = std::make_unique<TSetupPackageReader>(module.Get(), u"PRODUCT");
    }
    TSetupPackageBuilder builder(SetupPackageKey);
    for (int i = 0; i < product->FileTable().Count(); ++i) {
        const auto& item = product->FileTable().Items(i);
        std::unique_ptr<TMemoryStream> file;
        product->Extract(item.Name, file);
        builder.Add(*file, item.Name);
    }
    std::vector<uint8_t> filler(static_cast<size_t>(megabytes) << 20);
    uint32_t state = 2463534242u;
    for (size_t i = 0; i < filler.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        filler[i] = (i / 4096) % 2 ? static_cast<uint8_t>(state) : static_cast<uint8_t>(i / 64);
    }
    TMemoryStream fillerStream(std::move(filler));
    builder.Add(fillerStream, u"Data\\filler.bin");
    TMemoryStream package;
    builder.Commit(package, 1);
    HANDLE update = BeginUpdateResourceW(WidePtr(copy), FALSE);
    UpdateResourceW(update, MAKEINTRESOURCEW(10), L"PRODUCT", language, package.Memory(),
                    static_cast<DWORD>(package.Size()));
    if (!EndUpdateResourceW(update, FALSE)) std::fprintf(stderr, "cannot write the resource\n");
    std::printf("product package: %.1f MB\n", static_cast<double>(package.Size()) / (1 << 20));
    return copy;
}

void Report(const char* what, const String& program, int rounds) {
    std::vector<double> first, dialog;
    for (int i = 0; i < rounds; ++i) {
        auto [f, d] = Measure(program);
        first.push_back(f);
        dialog.push_back(d);
    }
    std::sort(first.begin(), first.end());
    std::sort(dialog.begin(), dialog.end());
    std::printf("%s: first window %.3f s, language dialog %.3f s (medians of %d; dialog min %.3f max %.3f)\n", what,
                first[first.size() / 2], dialog[dialog.size() / 2], rounds, dialog.front(), dialog.back());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int megabytes = 60, rounds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (lstrcmpW(argv[i], L"--product-mb") == 0)
            megabytes = _wtoi(argv[++i]);
        else if (lstrcmpW(argv[i], L"--rounds") == 0)
            rounds = std::max(1, _wtoi(argv[++i]));
    }
    const String program = BinFolder() + u"uInstaller.exe";
    Report("demo", program, rounds);
    const String large = MakeLargeCopy(program, megabytes);
    Report("large product", large, rounds);
    DeleteFileW(WidePtr(large));
    return 0;
}
