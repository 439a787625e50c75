#pragma once

class QWidget;

namespace calvane {

/// Pins the window above all ordinary windows, or releases it. A window that
/// already exists on screen keeps its native window: only its flag changes.
void SetTopmost(QWidget& window, bool on);

} // namespace calvane
