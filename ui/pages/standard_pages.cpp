#include "ui/pages/standard_pages.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>

#include "engine/installer.h"
#include "engine/installer_resources.h"
#include "engine/product_info.h"
#include "engine/summary_builder.h"
#include "platform/seams.h"
#include "ui/palette.h"

namespace uinst {

namespace {

struct TStreamSource {
    const uint8_t* Data;
    size_t Size;
    size_t Position = 0;
};

DWORD CALLBACK ReadStreamSource(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* done) {
    auto* source = reinterpret_cast<TStreamSource*>(cookie);
    const size_t count = std::min(static_cast<size_t>(std::max(wanted, 0L)), source->Size - source->Position);
    if (count) std::memcpy(buffer, source->Data + source->Position, count);
    source->Position += count;
    *done = static_cast<LONG>(count);
    return 0;
}

}  // namespace

void LoadRichText(HWND richEdit, const void* data, size_t size, bool rtf) {
    TStreamSource source{static_cast<const uint8_t*>(data), size};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, ReadStreamSource};
    SendMessageW(richEdit, EM_STREAMIN, rtf ? SF_RTF : (SF_TEXT | SF_UNICODE), reinterpret_cast<LPARAM>(&stream));
    ApplyRichEditPalette(richEdit);
}

void ApplyRichEditPalette(HWND richEdit) {
    const auto& palette = WizardPalette();
    SendMessageW(richEdit, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(palette.Background));
    if (palette.Dark) {
        // Documents are written for a white page: on the dark one their text turns light.
        CHARFORMAT2W format{};
        format.cbSize = sizeof(format);
        format.dwMask = CFM_COLOR;
        format.crTextColor = palette.HeaderText;
        SendMessageW(richEdit, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    }
}

// ---- welcome

void TInstallerPageWelcome::CreateControls() {
    TInstallerPageFullScreen::CreateControls();
    FNotice = &CreateLabel(RECT{210, 180, 400, 40}, u"", true);
    FNotice->TextColor = RGB(0xFF, 0x00, 0x00);
    FNotice->FontPoints = 8;
    ApplyFont(*FNotice);
}

void TInstallerPageWelcome::ApplyLocalization() {
    TInstallerPageFullScreen::ApplyLocalization();
    FNotice->SetText(Resources().GetText(u"Common", u"E6"));
}

// ---- licence

void TInstallerPageLicense::CreateControls() {
    TInstallerPage::CreateControls();
    FViewer = &CreateAligned(TAlign::Client, RECT{28, 22, 28, 4}, 0, u"", TControlKind::RichViewer);
    SendMessageW(FViewer->Handle, EM_AUTOURLDETECT, TRUE, 0);
    SendMessageW(FViewer->Handle, EM_SETEVENTMASK, 0, ENM_LINK);
    ApplyRichEditPalette(FViewer->Handle);
    FAccept = &CreateAligned(TAlign::Bottom, RECT{28, 4, 28, 22}, 16, u"L1", TControlKind::CheckBox);
    FAccept->OnClick = [this] { AcceptClick(); };
}

bool TInstallerPageLicense::CanGoNext() {
    return FAccept && FAccept->Checked();
}

void TInstallerPageLicense::Prepare() {
    auto licence = Resources().GetLicense();
    if (licence) LoadRichText(FViewer->Handle, licence->Memory(), static_cast<size_t>(licence->Size()), true);
}

void TInstallerPageLicense::Shown() {
    if (!FAccept->Checked()) SetFocus(FViewer->Handle);
}

void TInstallerPageLicense::AcceptClick() {
    if (FAccept->Checked())
        ShowMessageBox(GetAncestor(Handle(), GA_ROOT), Resources().GetText(u"Common", u"E6"),
                       Resources().GetText(u"Common", u"Caption"), MB_OK | MB_ICONWARNING);
    NotifyChanged();
}

LRESULT TInstallerPageLicense::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == EN_LINK && FViewer && header->hwndFrom == FViewer->Handle) {
            const auto* link = reinterpret_cast<const ENLINK*>(lParam);
            if (link->msg == WM_LBUTTONUP) {
                std::wstring text(static_cast<size_t>(std::max(link->chrg.cpMax - link->chrg.cpMin, 0L)) + 1, L'\0');
                TEXTRANGEW range{link->chrg, text.data()};
                SendMessageW(FViewer->Handle, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
                OpenLink(FromWide(text.c_str()));
            }
            return 0;
        }
    }
    return TInstallerPage::HandleMessage(message, wParam, lParam);
}

// ---- summary

void TInstallerPageReadyToInstall::CreateControls() {
    TInstallerPage::CreateControls();
    FViewer = &CreateAligned(TAlign::Client, RECT{28, 22, 28, 22}, 0, u"", TControlKind::RichViewer);
    ApplyRichEditPalette(FViewer->Handle);
    FViewer->SetEnabled(false);
}

void TInstallerPageReadyToInstall::Prepare() {
    TInstallerSummaryBuilder builder;
    Installer->ProductInfo().PopulateActions([&](const TInstallerActionClass& actionClass) {
        auto action = actionClass.Create();
        action->BuildSummary(builder);
    });
    const String text = builder.ToString();
    LoadRichText(FViewer->Handle, text.data(), text.size() * sizeof(char16_t), false);
}

}  // namespace uinst
