#pragma once
// The readable source of a skin, one item a line:
//
//     # a comment
//     color   Common.Colors.Text        claBlack
//     color   Labels.Colors.Text        -> Common.Colors.Text
//     color   Hint.Colors.Shade         x80000000 opacity=200 coloration=false
//     font    Common.Fonts.Default      height=-11 color=claWhite
//     font    Labels.Fonts.Title        -> Common.Fonts.Default style=fsBold size=12 name="Segoe UI"
//     margins Popup.Margins.Borders     all=1          (or left= top= right= bottom=)
//     integer Popup.Margins.CornerRadius 8
//     texture Buttons.Textures.Button   picture=96:16x16:xFFE1E1E1:xFFADADAD picture=144:24x24:... frames=4
//
// "-> ID" refers to another item; "description=..." goes with any item. A picture is a filled
// rectangle with a one-pixel border, drawn by the compiler, at the density given first; "frames"
// stacks that many copies of it (the states of a control) one above the other.
#include <string_view>

#include "formats/skin.h"

namespace uinst {

class ESkinSourceError : public Exception {
public:
    using Exception::Exception;
};

// Appends the items of a source to the collection and binds it. Mistakes raise ESkinSourceError
// with the line number.
void CompileSkinSource(std::string_view source, TORLCustomResourceCollection& skin);

// One line per item: class, identifier, reference and resolved value, for looking at a stream.
std::string DescribeSkin(const TORLCustomResourceCollection& skin);

}  // namespace uinst
