#pragma once
// TORLRichViewer: the read-only rich-text view of the licence and summary pages, on the system's
// rich edit control. Addresses in the text are links; a click opens them (links.h). Its colours
// come from the skin's edit box colours; its zoom follows the window's display density.
#include <windows.h>

#include <optional>

#include "base/stream.h"
#include "base/string.h"
#include "ui/skin.h"

namespace uinst {

// The rich edit library, loaded once for the process and kept to its end; false when the system
// has none.
bool LoadRichEditLibrary();
inline constexpr wchar_t kRichEditClass[] = L"RICHEDIT20W";

// The rich edit zoom is numerator / 64. From a percentage p: round(p x 0.64) above 100,
// round(p x 0.63 + 1) up to 100, ties to even. None when the numerator is not within 2..4095
// (the zoom is then left alone).
std::optional<int> RichViewerZoomNumerator(int percentage);
// The percentage after a change of scale numerator / denominator (integer multiply-divide).
int ScaleZoomPercentage(int percentage, int numerator, int denominator);

class TORLRichViewer : public ISkinnedControl {
public:
    static constexpr int kTextLimit = 2147483646;

    // Creates the view as a child of the parent (hidden when `style` lacks WS_VISIBLE).
    TORLRichViewer(HWND parent, DWORD style);
    ~TORLRichViewer() override;
    TORLRichViewer(const TORLRichViewer&) = delete;
    TORLRichViewer& operator=(const TORLRichViewer&) = delete;

    HWND Handle() const override { return FHandle; }
    // The viewer behind a window, or none.
    static TORLRichViewer* FromHandle(HWND window);

    // Replaces the content with the RTF document read from the stream's position to its end; no
    // stream changes nothing.
    void LoadFromStream(TStream* stream);
    // Replaces the content with plain text (lines separated by CR LF).
    void SetText(const String& text);
    String Text() const;

    int ZoomPercentage() const { return FZoom; }
    // Applies the zoom of the percentage when its numerator is within bounds, and only then keeps it.
    void SetZoom(int percentage);

    void SkinChanged() override;
    void ScaleChanged(int numerator, int denominator) override;
    bool HandleNotify(const NMHDR& header, LRESULT& result) override;

private:
    void ApplyColors();
    void ContentChanged();
    HWND FHandle = nullptr;
    int FZoom = 100;
};

}  // namespace uinst
