#pragma once
// "addons.ini" of the setup package: plain key=value lines that describe the optional add-on pack
// (its installer, parameters, and what the add-ons page shows).
#include "base/stream.h"
#include "base/string_list.h"

namespace uinst {

class TAddonsDescription {
public:
    static constexpr const char16_t* kFileName = u"addons.ini";

    // The package's "addons.ini"; raises the installer's error when the packages lack it.
    static TAddonsDescription FromPackage();
    // Text with a byte-order mark (UTF-8, UTF-16) or in the ANSI code page.
    void LoadFromBytes(const uint8_t* data, size_t size);
    void LoadFromStream(TStream& stream);

    // The value after the first "=" of the last line whose key matches (case ignored); empty when
    // no line has that key.
    String Value(StringView key) const;
    const TORLStringList& Lines() const { return FLines; }

private:
    TORLStringList FLines;
};

}  // namespace uinst
