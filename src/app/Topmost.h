#pragma once

class QWidget;

namespace calvane {

/// Pins the window above all ordinary windows, or releases it. A shown window is
/// shown again after the change (changing the flag hides it).
void SetTopmost(QWidget& window, bool on);

} // namespace calvane
