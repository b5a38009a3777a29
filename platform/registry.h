#pragma once
// A registry key with the few operations the program needs.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "base/string.h"
#include "platform/handles.h"

namespace uinst {

class TRegistryKey {
public:
    // Opens an existing key; nothing when it does not exist or cannot be opened.
    static std::optional<TRegistryKey> Open(HKEY root, StringView path, REGSAM access = KEY_READ);
    // Opens or creates the key; raises EOSError on failure.
    static TRegistryKey Create(HKEY root, StringView path, REGSAM access = KEY_READ | KEY_WRITE);
    // Deletes the key with all its subkeys; false when it did not exist or could not be deleted.
    static bool DeleteTree(HKEY root, StringView path, REGSAM viewFlags = 0);

    std::optional<String> ReadString(StringView name) const;
    std::optional<uint32_t> ReadDWord(StringView name) const;
    void WriteString(StringView name, StringView value, bool expandable = false);
    void WriteDWord(StringView name, uint32_t value);
    bool DeleteValue(StringView name);
    std::vector<String> SubKeyNames() const;
    HKEY Handle() const { return FKey.Get(); }

private:
    explicit TRegistryKey(HKEY key) : FKey(key) {}
    TUniqueKey FKey;
};

}  // namespace uinst
