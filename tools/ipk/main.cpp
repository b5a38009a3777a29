// ipk: the package tool. The work is in ipk.cpp; this only turns the command line into strings.
#include <vector>

#include "tools/ipk/ipk.h"

#ifdef _WIN32
// wmain: UTF-16 arguments, so names outside the ANSI code page arrive intact.
int wmain(int argc, wchar_t** argv) {
    std::vector<uinst::String> args;
    for (int n = 1; n < argc; ++n) args.push_back(uinst::FromWide(argv[n]));
    return uinst::ipk::RunIpk(args, *uinst::ipk::MakeStdConsole());
}
#else
int main(int argc, char** argv) {
    std::vector<uinst::String> args;
    for (int n = 1; n < argc; ++n) args.push_back(uinst::Utf8ToString(argv[n]));
    return uinst::ipk::RunIpk(args, *uinst::ipk::MakeStdConsole());
}
#endif
