#include "ui/skin.h"

#include "platform/handles.h"
#include "platform/seams.h"

namespace uinst {

namespace {

struct TRootState {
    TORLRootResourceCollectionImpl Collection;
    bool Loaded = false;
    bool Dark = false;
};

TRootState& Root() {
    static TRootState state;
    return state;
}

}  // namespace

TORLRootResourceCollectionImpl& RootResources() {
    return Root().Collection;
}

bool IsWindows11() {
    const TOSVersion v = Seams().OSVersion();
    return v.Major > 10 || (v.Major == 10 && (v.Minor > 0 || v.Build >= 22000));
}

bool LoadRootSkin(bool dark) {
    TRootState& root = Root();
    root.Loaded = true;
    root.Dark = dark;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, dark ? L"ORLDEFAULTSKIN_DARK" : L"ORLDEFAULTSKIN", MAKEINTRESOURCEW(10));
    HGLOBAL handle = info ? LoadResource(module, info) : nullptr;
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) {
        root.Collection.Clear();
        return false;
    }
    try {
        root.Collection.LoadFromBytes(static_cast<const uint8_t*>(data), SizeofResource(module, info));
    } catch (const Exception&) {
        // A damaged skin of our own executable: the controls draw with their default colours.
        root.Collection.Clear();
        return false;
    }
    if (IsWindows11()) root.Collection.ApplyWindows11Variants();
    return true;
}

bool RootSkinLoaded() {
    return Root().Loaded;
}

bool RootSkinDark() {
    return Root().Dark;
}

COLORREF SkinColor(StringView id, COLORREF fallback) {
    const auto* color = RootResources().GetResource<TORLResourceColor>(id);
    if (!color || !color->HasValue()) return fallback;
    const TAlphaColor value = color->Value();
    return (value >> 24) ? AlphaColorToColorRef(value) : fallback;
}

TORLFontValues SkinFont(StringView id) {
    const auto* font = RootResources().GetResource<TORLResourceFont>(id);
    return font ? font->Values() : TORLFontValues{};
}

void ApplyTitleBarScheme(HWND window, bool dark) {
    // dwmapi is loaded when first needed: the program also runs where it has no dark title bar,
    // and Wine may lack the attribute; a failure changes nothing.
    using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static TUniqueModule library(LoadLibraryW(L"dwmapi.dll"));
    static auto setAttribute = library ? reinterpret_cast<SetAttributeFn>(reinterpret_cast<void*>(
                                             GetProcAddress(library.Get(), "DwmSetWindowAttribute")))
                                       : nullptr;
    if (!setAttribute || !window) return;
    constexpr DWORD kUseImmersiveDarkMode = 20;
    const BOOL value = dark ? TRUE : FALSE;
    setAttribute(window, kUseImmersiveDarkMode, &value, sizeof(value));
}

}  // namespace uinst
