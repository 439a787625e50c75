#pragma once

namespace calvane {

/// Has every text box tell assistive technology what the user can do with it: a
/// box the user cannot type into is read-only and not editable (Qt's own reports
/// it as both, so a screen reader announces a field to type into). Call once,
/// after the application object exists: the last factory installed is asked first.
void InstallTextBoxAccessibility();

} // namespace calvane
