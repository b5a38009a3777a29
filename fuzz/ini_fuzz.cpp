// Loads arbitrary bytes as an INI file, reads every key in every way, and checks that saving is
// stable: UTF-16 keeps everything, and any encoding is stable once the text has passed through it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/ini_file.h"
#include "formats/localization.h"

using namespace uinst;

namespace {

std::vector<uint8_t> Save(const TORLIniFile& ini, TORLTextEncoding encoding) {
    TMemoryStream stream;
    ini.SaveToStream(stream, encoding);
    return stream.TakeBytes();
}

std::vector<uint8_t> Resave(const std::vector<uint8_t>& bytes, TORLTextEncoding encoding) {
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    TORLIniFile ini;
    ini.LoadFromStream(stream);
    if (ini.Encoding() != encoding) abort();
    return Save(ini, encoding);
}

void ReadEverything(const TORLIniFile& ini) {
    TORLStringList names;
    const int sections = ini.Count() < 64 ? ini.Count() : 64;
    for (int s = 0; s < sections; ++s) {
        const String section = ini.Sections(s);
        ini.ReadSection(section, names);
        (void)ini.ReadSectionText(section);
        for (int k = 0; k < names.Count() && k < 64; ++k) {
            (void)ini.ReadInteger(section, names[k], 0);
            (void)ini.ReadBool(section, names[k], true);
            TMemoryStream bytes;
            if (ini.ReadStream(section, names[k], bytes) && bytes.Position() != 0) abort();
            if (!ini.KeyExists(section, names[k])) abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TReadOnlyMemoryStream input(data, size);
    TORLIniFile ini;
    ini.LoadFromStream(input);
    ReadEverything(ini);

    // UTF-16 holds any text: one more load and save changes nothing.
    const std::vector<uint8_t> utf16 = Save(ini, teUTF16LE);
    if (Resave(utf16, teUTF16LE) != utf16) abort();
    // Other encodings may lose characters once, but not twice.
    for (TORLTextEncoding encoding : {ini.Encoding(), teUTF8, teUTF16BE}) {
        const std::vector<uint8_t> twice = Resave(Save(ini, encoding), encoding);
        if (Resave(twice, encoding) != twice) abort();
    }

    // Copies by assignment and by merging into an empty object equal the original.
    TORLIniFile copy;
    copy.Assign(ini);
    if (!(copy == ini)) abort();
    TORLIniFile merged;
    merged.Merge(ini, false);
    if (!(merged == ini)) abort();
    merged.Merge(copy, true);
    if (merged.Count() != ini.Count()) abort();

    // The same bytes as UTF-16 text without a mark, read as a language.
    std::vector<Char> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<Char>(data[2 * i] | data[2 * i + 1] << 8);
    TORLLocalization lng;
    lng.LoadFromText(units.data(), units.size());
    ReadEverything(lng);
    for (int s = 0; s < lng.Count() && s < 8; ++s) {
        const String section = lng.Sections(s);
        (void)lng.DeleteKey(section, u"");
        (void)lng.DeleteSection(section);
        lng.WriteString(section, u"k", u"v");
    }
    return 0;
}
