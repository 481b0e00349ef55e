#pragma once
// Image strings: either a bare file name ("common/bk.png", or a full path
// "/home/…/it's.png" taken whole) or a list of modifiers in the form
// key='value' ("file='a.png' dest='0,0,16,16' fade='128'").
// Parsed once per string and cached by the paint manager.

#include <optional>
#include <string>
#include <string_view>

#include "ui/widgets/ui_types.h"

namespace q731 {

struct TDrawInfo {
    std::string sDrawString;         // the string as given
    std::string sImageName;          // "file" or "res"
    std::string sResType;            // "restype"; kept for callers, files are found by name
    std::optional<UiRect> rcDest;    // design pixels, relative to the control
    std::optional<UiRect> rcSource;  // image pixels
    UiRect rcCorner;                 // image pixels kept unstretched at each edge
    std::optional<UiColor> dwMask;   // pixels of this colour become transparent
    int uFade = 255;                 // 0..255
    bool bHole = false;              // draw the corners only, leave the middle empty
    bool bTiledX = false;
    bool bTiledY = false;
    bool bHSL = false;  // apply the manager's hue/saturation/lightness shift
};

// Returns nullopt for an empty string or a malformed modifier list (an
// unterminated quote, a value that does not parse), so nothing is drawn rather
// than something half-applied. Unknown keys are ignored.
std::optional<TDrawInfo> ParseImageString(std::string_view text, std::string* error = nullptr);

}  // namespace q731
