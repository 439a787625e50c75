#pragma once

#include "errors/Guard.h"
#include "errors/RuntimeError.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <utility>

namespace calvane {

class MciDevice;
class MessageBoxes;
class PlaybackTimer;
class ProcessEnd;

/// What the handler reads from the rest of the program at the moment of a failure.
/// The main window fills it once it exists; until then (and for any part left
/// empty) the values are empty, the length 0 and the mode 16 NULs.
struct FailureContext
{
    std::function<QString()> CurrentMIDIPath;
    std::function<QString()> titleText; ///< the main window's title box, txtConvFileName
    MciDevice* device = nullptr;        ///< spoken to directly, not through the guarded command layer
    PlaybackTimer* timer = nullptr;     ///< timMIDIStop, switched off before the first message box
    /// The folder the user works in, the file list's (CurDir); while it gives
    /// none, the process's current folder.
    std::function<QString()> workingFolder;
};

/// The program's handler. It switches the playback timer off, stops and closes the
/// device, then takes one of two roads. Error 13 in "frmMain.Form_Load" is a
/// damaged settings file: two messages and the file deleted. Every other failure
/// writes ErrLog.txt beside the settings file and says where it is. Then the
/// process ends at once. Every step is attempted; a step that fails is skipped.
/// A failure while a report is being made ends the process without a second report.
class CentralErrorHandler final : public ErrorReporter
{
public:
    /// iniPath is the settings file; the report goes into the same folder.
    CentralErrorHandler(MessageBoxes& boxes, ProcessEnd& end, QString iniPath);

    void setContext(FailureContext context) { m_context = std::move(context); }

    [[noreturn]] void ReportError(std::int32_t number, const QString& text,
                                  const QString& procedure) override;

private:
    void haltPlayback();
    void repairSettings();
    void writeReport(std::int32_t number, const QString& text, const QString& procedure);
    QByteArray composeReport(std::int32_t number, const QString& text, const QString& procedure);

    MessageBoxes& m_boxes;
    ProcessEnd& m_end;
    QString m_iniPath;
    FailureContext m_context;
    bool m_reporting = false;
};

/// A failure that reached the event loop without any guard: the standard
/// run-time error message ("実行時エラー", number and text), then the end.
[[noreturn]] void EndWithUnguardedFailure(const RuntimeError& failure, MessageBoxes& boxes, ProcessEnd& end);

} // namespace calvane
