#include "ui/skin.h"

#include "formats/skin_texture.h"
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

std::optional<TSkinTextureColors> SkinTextureColors(StringView id) {
    const auto* texture = RootResources().GetResource<TORLResourceTexture>(id);
    if (!texture) return std::nullopt;
    std::vector<TORLTextureImage> images;
    try {
        images = ReadTextureImages(texture->Data());
    } catch (const ESkinTextureError&) {
        return std::nullopt;
    }
    const TORLTextureImage* image = nullptr;
    for (const auto& candidate : images)
        if (!image || candidate.Dpi == 96) image = &candidate;
    if (!image || image->Width == 0 || image->Height == 0 ||
        image->Pixels.size() != static_cast<size_t>(image->Width) * image->Height)
        return std::nullopt;
    // The layout starts with the number of states stacked one above the other.
    uint32_t frames = 1;
    if (image->Layout.size() >= 4)
        frames = image->Layout[0] | image->Layout[1] << 8 | image->Layout[2] << 16 | uint32_t{image->Layout[3]} << 24;
    if (frames == 0 || frames > image->Height) frames = 1;
    const uint32_t frameHeight = image->Height / frames;
    const uint32_t fill = image->Pixels[static_cast<size_t>(frameHeight / 2) * image->Width + image->Width / 2];
    const uint32_t border = image->Pixels[0];
    return TSkinTextureColors{AlphaColorToColorRef(fill), AlphaColorToColorRef(border)};
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
