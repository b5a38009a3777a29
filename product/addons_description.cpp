#include "product/addons_description.h"

#include <vector>

#include "base/code_page.h"
#include "base/text_case.h"
#include "engine/installer.h"
#include "engine/installer_resources.h"

namespace uinst {

namespace {

String DecodeUtf16(const uint8_t* data, size_t size, bool bigEndian) {
    String text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<Char>(bigEndian ? data[i] << 8 | data[i + 1] : data[i + 1] << 8 | data[i]));
    return text;
}

String DecodeText(const uint8_t* data, size_t size) {
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        return Utf8ToString(std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3));
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) return DecodeUtf16(data + 2, size - 2, false);
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) return DecodeUtf16(data + 2, size - 2, true);
    if (size == 0) return String();
    return DecodeCodePage(data, size, EffectiveAnsiCodePage()).value_or(String());
}

}  // namespace

TAddonsDescription TAddonsDescription::FromPackage() {
    TAddonsDescription description;
    description.LoadFromStream(*Installer->Resources().GetFile(kFileName));
    return description;
}

void TAddonsDescription::LoadFromBytes(const uint8_t* data, size_t size) {
    FLines.SetText(DecodeText(data, size));
}

void TAddonsDescription::LoadFromStream(TStream& stream) {
    const int64_t remaining = stream.Size() - stream.Position();
    std::vector<uint8_t> bytes(remaining > 0 ? static_cast<size_t>(remaining) : 0);
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), bytes.size());
    LoadFromBytes(bytes.data(), bytes.size());
}

String TAddonsDescription::Value(StringView key) const {
    for (int i = FLines.Count() - 1; i >= 0; --i) {
        const String& line = FLines[i];
        const size_t eq = line.find(u'=');
        if (eq != String::npos && SameText(StringView(line).substr(0, eq), key)) return line.substr(eq + 1);
    }
    return String();
}

}  // namespace uinst
