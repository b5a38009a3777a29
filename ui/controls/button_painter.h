#pragma once
// Push buttons, check boxes and radio buttons stay windows of the system's BUTTON class (caption,
// keyboard, BM_GETCHECK and BM_CLICK as usual) and are drawn in the wizard's palette: the parent
// hands their NM_CUSTOMDRAW here, which paints the whole button before the system would.
#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "ui/palette.h"
#include "ui/scale.h"

namespace uinst {

// The answer to an NM_CUSTOMDRAW of a BUTTON window: at the pre-paint stage the button is painted
// (face, border, box or circle, mark, caption, focus) at the scale of its window, on `background`
// around check boxes and radio buttons, with the caption in `text` when that is not CLR_INVALID,
// and CDRF_SKIPDEFAULT returned. None when the notification is not the custom draw of a button.
std::optional<LRESULT> PaintButton(const NMHDR& header, const TWizardPalette& palette, const TScale& scale,
                                   COLORREF background, COLORREF text = CLR_INVALID);

}  // namespace uinst
