#pragma once

#include <QString>

namespace calvane {

// Status line texts that more than one part of the main window writes.
inline const QString kSpecifyFile = QStringLiteral("MIDIファイルを指定してください (停止中)");

} // namespace calvane
