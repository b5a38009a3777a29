#include <cstdio>

#include "tools/ipk/ipk.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace uinst::ipk {

namespace {

class TStdConsole : public TConsole {
public:
    void Out(StringView text) override { Write(stdout, text); }
    void Err(StringView text) override { Write(stderr, text); }

#ifdef _WIN32
    bool Interactive() const override {
        DWORD mode;
        return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    }

private:
    // A console shows UTF-16 as it is; pipes and files get UTF-8.
    static void Write(FILE* stream, StringView text) {
        HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        DWORD mode, written;
        if (GetConsoleMode(handle, &mode)) {
            std::fflush(stream);
            WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.data()), DWORD(text.size()), &written, nullptr);
            return;
        }
        const std::string bytes = StringToUtf8(text);
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
        std::fflush(stream);
    }
#else
    bool Interactive() const override {
        return isatty(STDERR_FILENO) != 0;
    }

private:
    static void Write(FILE* stream, StringView text) {
        const std::string bytes = StringToUtf8(text);
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
        std::fflush(stream);
    }
#endif
};

}  // namespace

std::unique_ptr<TConsole> MakeStdConsole() {
    return std::make_unique<TStdConsole>();
}

}  // namespace uinst::ipk
