// skinc: compiles a readable skin source into the stream the setup program embeds.
//   skinc SOURCE OUTPUT      compile
//   skinc --dump STREAM      list the items of a stream with their resolved values
#include <cstdio>
#include <string>

#include "base/file_replacement.h"
#include "base/stream.h"
#include "tools/skinc/skin_source.h"

using namespace uinst;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skinc SOURCE OUTPUT | skinc --dump STREAM\n");
        return 2;
    }
    try {
        TMemoryStream input;
        if (std::string(argv[1]) == "--dump") {
            input.LoadFromFile(Utf8ToString(argv[2]));
            TORLRootResourceCollectionImpl skin;
            skin.LoadFromBytes(input.Memory(), input.Bytes().size());
            std::fputs(DescribeSkin(skin).c_str(), stdout);
            return 0;
        }
        input.LoadFromFile(Utf8ToString(argv[1]));
        TORLRootResourceCollectionImpl skin;
        CompileSkinSource(std::string_view(reinterpret_cast<const char*>(input.Memory()), input.Bytes().size()), skin);
        TMemoryStream output(skin.SaveToBytes());
        // Whole or not at all: a part written before a failure would look newer than its source
        // and the build would not run the compiler again.
        try {
            WriteFileReplacing(Utf8ToString(argv[2]), [&](TStream& file) { output.SaveToStream(file); });
        } catch (const EStreamError& error) {
            std::fprintf(stderr, "skinc: %s: %s\n", argv[2], error.what());
            return 1;
        }
        return 0;
    } catch (const Exception& error) {
        std::fprintf(stderr, "skinc: %s: %s\n", argv[std::string(argv[1]) == "--dump" ? 2 : 1], error.what());
        return 1;
    }
}
