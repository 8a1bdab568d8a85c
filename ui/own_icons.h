#pragma once
// The program's own icons, shipped in its resources (ui/icons), so that no
// button or menu entry depends on the desktop having an icon theme, and
// every icon reads on light and dark palettes alike.

#include <QIcon>

namespace orvane {

// The icon ":/icons/<name>.svg", named as in the freedesktop icon naming
// ("media-playback-start", "call-start", ...); a null icon for a null or
// unknown name.
QIcon OwnIcon(const char* name);

}  // namespace orvane
