#include "platform/registry.h"

#include "platform/os_error.h"

namespace uinst {

std::optional<TRegistryKey> TRegistryKey::Open(HKEY root, StringView path, REGSAM access) {
    HKEY key = nullptr;
    const String p(path);
    if (RegOpenKeyExW(root, WidePtr(p), 0, access, &key) != ERROR_SUCCESS) return std::nullopt;
    return TRegistryKey(key);
}

TRegistryKey TRegistryKey::Create(HKEY root, StringView path, REGSAM access) {
    HKEY key = nullptr;
    const String p(path);
    const LSTATUS r = RegCreateKeyExW(root, WidePtr(p), 0, nullptr, 0, access, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) RaiseOSError(static_cast<uint32_t>(r), p);
    return TRegistryKey(key);
}

bool TRegistryKey::DeleteTree(HKEY root, StringView path, REGSAM viewFlags) {
    const String p(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, WidePtr(p), 0, KEY_ALL_ACCESS | viewFlags, &key) != ERROR_SUCCESS) return false;
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    return RegDeleteKeyExW(root, WidePtr(p), viewFlags, 0) == ERROR_SUCCESS;
}

std::optional<String> TRegistryKey::ReadString(StringView name) const {
    const String n(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(FKey.Get(), WidePtr(n), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    String value(size / sizeof(Char) + 1, u'\0');
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(Char));
    if (RegQueryValueExW(FKey.Get(), WidePtr(n), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(bytes / sizeof(Char));
    while (!value.empty() && value.back() == u'\0') value.pop_back();
    return value;
}

std::optional<uint32_t> TRegistryKey::ReadDWord(StringView name) const {
    const String n(name);
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(FKey.Get(), WidePtr(n), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

void TRegistryKey::WriteString(StringView name, StringView value, bool expandable) {
    const String n(name), v(value);
    const LSTATUS r =
        RegSetValueExW(FKey.Get(), WidePtr(n), 0, expandable ? REG_EXPAND_SZ : REG_SZ,
                       reinterpret_cast<const BYTE*>(v.c_str()), static_cast<DWORD>((v.size() + 1) * sizeof(Char)));
    if (r != ERROR_SUCCESS) RaiseOSError(static_cast<uint32_t>(r), n);
}

void TRegistryKey::WriteDWord(StringView name, uint32_t value) {
    const String n(name);
    const DWORD v = value;
    const LSTATUS r =
        RegSetValueExW(FKey.Get(), WidePtr(n), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
    if (r != ERROR_SUCCESS) RaiseOSError(static_cast<uint32_t>(r), n);
}

bool TRegistryKey::DeleteValue(StringView name) {
    const String n(name);
    return RegDeleteValueW(FKey.Get(), WidePtr(n)) == ERROR_SUCCESS;
}

std::vector<String> TRegistryKey::SubKeyNames() const {
    std::vector<String> names;
    wchar_t buffer[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        const LSTATUS r = RegEnumKeyExW(FKey.Get(), i, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r == ERROR_SUCCESS)
            names.push_back(FromWide(buffer, length));
        else if (r != ERROR_MORE_DATA)
            break;
    }
    return names;
}

}  // namespace uinst
