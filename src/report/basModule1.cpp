#include "report/basModule1.h"

#include "platform/Cp932.h"
#include "platform/Directory.h"
#include "platform/MessageBoxes.h"
#include "platform/NativeFile.h"
#include "platform/Paths.h"
#include "platform/PlaybackTimer.h"
#include "platform/ProcessEnd.h"
#include "player/MciDevice.h"
#include "player/basMIDIControl.h"

#include <QScopeGuard>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace calvane {
namespace {

constexpr qsizetype kHeaderBytes = 512;

/// Runs one step of the handler; a step that fails is skipped.
template <class Step> void Attempt(Step&& step)
{
    try {
        std::forward<Step>(step)();
    } catch (const std::exception&) {
    }
}

/// A value the handler reads; empty when reading it fails.
template <class Get> auto ValueOf(Get&& get) -> decltype(get())
{
    try {
        return std::forward<Get>(get)();
    } catch (const std::exception&) {
        return {};
    }
}

/// Text for the report: code page 932, except that the bytes of a file name that
/// were not UTF-8 on disk are written as they are (they are often Shift_JIS already).
QByteArray ReportText(QStringView text)
{
    QByteArray out;
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const bool escapedByte = u >= 0xDC80 && u <= 0xDCFF && (i == 0 || !text[i - 1].isHighSurrogate());
        if (escapedByte) {
            out += EncodeCp932(text.sliced(run, i - run));
            out += static_cast<char>(u - 0xDC00);
            run = i + 1;
        }
    }
    out += EncodeCp932(text.sliced(run));
    return out;
}

/// Each character's code page 932 code in uppercase hexadecimal, a double-byte
/// character as one 16-bit number, each followed by one space. A character the
/// code page cannot hold gives the code of the "?" that replaces it (3F).
QByteArray TitleCodes(QStringView title)
{
    QByteArray codes;
    for (qsizetype i = 0; i < title.size();) {
        const qsizetype length =
            title[i].isHighSurrogate() && i + 1 < title.size() && title[i + 1].isLowSurrogate() ? 2 : 1;
        unsigned code = 0;
        for (const char byte : EncodeCp932(title.sliced(i, length))) {
            code = code << 8 | static_cast<unsigned char>(byte);
        }
        codes += QByteArray::number(code, 16).toUpper() + ' ';
        i += length;
    }
    return codes;
}

/// The first 512 bytes of an ordinary file, zero-filled; all zeros when there is
/// none or it cannot be read. Never blocks and never reads further.
QByteArray HeaderBytes(const QString& path)
{
    QByteArray header(kHeaderBytes, '\0');
    const WholeFile start = ReadOrdinaryFileStart(NativePath(path), kHeaderBytes);
    if (start.status == WholeFile::Status::Ok) {
        header.replace(0, start.bytes.size(), start.bytes);
    }
    return header;
}

QString Lines(std::initializer_list<QString> lines)
{
    return QStringList(lines).join(QStringLiteral("\r\n"));
}

/// A folder as a message shows it: without its final separator.
QString ShownFolder(const QString& folder)
{
    return folder.size() > 1 && folder.endsWith(u'/') ? folder.chopped(1) : folder;
}

} // namespace

void ImmediateProcessEnd::endNow(int exitCode)
{
    std::fflush(nullptr);
    ::_exit(exitCode);
}

CentralErrorHandler::CentralErrorHandler(MessageBoxes& boxes, ProcessEnd& end, QString iniPath)
    : m_boxes(boxes), m_end(end), m_iniPath(std::move(iniPath))
{}

void CentralErrorHandler::ReportError(std::int32_t number, const QString& text, const QString& procedure)
{
    if (m_reporting) {
        // A failure while a report is made (an event run by a message box, say):
        // a second report would only hide the first.
        m_end.endNow(1);
    }
    m_reporting = true;
    const auto reported = qScopeGuard([this] { m_reporting = false; }); // only a test's end returns
    Attempt([&] {
        std::fprintf(stderr, "calvane: error %d (%s) in %s\n", static_cast<int>(number),
                     text.toUtf8().constData(), procedure.toUtf8().constData());
    });
    haltPlayback();
    if (procedure == u"frmMain.Form_Load" && number == ErrNo::TypeMismatch) {
        repairSettings();
    } else {
        writeReport(number, text, procedure);
    }
    m_end.endNow(1);
    std::abort(); // endNow does not return; the compiler cannot see that through a virtual call
}

void CentralErrorHandler::haltPlayback()
{
    Attempt([&] {
        if (m_context.timer) {
            m_context.timer->setInterval(0);
        }
    });
    // Straight to the device: the command layer's own guard would report again.
    for (const QString& command : {QStringLiteral("Stop Midi"), QStringLiteral("Close Midi")}) {
        Attempt([&] {
            if (m_context.device) {
                m_context.device->SendString(command, nullptr, 0);
            }
        });
    }
}

void CentralErrorHandler::repairSettings()
{
    Attempt([&] {
        m_boxes.show(Lines({QStringLiteral("INIファイルが壊れている可能性があります"),
                            QStringLiteral("ここで自動的に修復します"), QString(),
                            QStringLiteral("再度このメッセージが表示された場合は作者に連絡してください")}),
                     QStringLiteral("起動エラー"), MsgIcon::Critical, MsgButtons::Ok);
    });
    int err = ENOMEM;
    Attempt([&] { err = ::unlink(NativePath(m_iniPath).constData()) == 0 ? 0 : errno; });
    Attempt([&] {
        if (err == 0 || err == ENOENT) {
            m_boxes.show(Lines({QStringLiteral("修復されました"),
                                QStringLiteral("設定内容はすべて初期状態になります")}),
                         QStringLiteral("修復完了"), MsgIcon::Information, MsgButtons::Ok);
        } else {
            m_boxes.show(Lines({QStringLiteral("設定ファイルを削除できなかったため、修復できませんでした"),
                                m_iniPath, ErrorText(ErrorNumberFromErrno(err)), QString(),
                                QStringLiteral("このファイルを削除してから、もう一度起動してください")}),
                         QStringLiteral("修復エラー"), MsgIcon::Critical, MsgButtons::Ok);
        }
    });
}

QByteArray CentralErrorHandler::composeReport(std::int32_t number, const QString& text,
                                              const QString& procedure)
{
    const QString path =
        ValueOf([&] { return m_context.CurrentMIDIPath ? m_context.CurrentMIDIPath() : QString(); });
    const QString title = ValueOf([&] { return m_context.titleText ? m_context.titleText() : QString(); });
    // What the device answers now that it is closed.
    QString mode(kPlayerModeLength, QChar(u'\0'));
    std::int32_t length = 0;
    if (m_context.device) {
        basMIDIControl control(*m_context.device, path, *this); // its queries carry no guard
        Attempt([&] { mode = control.GetMIDIMode(); });
        Attempt([&] { length = control.GetMIDILength(); });
    }

    QByteArray report;
    const auto line = [&](const QByteArray& bytes) { report += bytes + "\r\n"; };
    line(ReportText(u"未知のエラーが発生しました"));
    line(ReportText(u"大変申し訳ございませんが、このテキスト(ErrLog.txt)を作者までお送りください"));
    line(ReportText(u"またどのような処理をしたらエラーが発生したなどの"));
    line(ReportText(u"詳細な情報もお教えいただければ、エラー原因特定に大変役立ちます"));
    line(ReportText(u"ご協力をお願いします"));
    line({});
    line("<< ErrorInfo >>");
    line("Err = " + QByteArray::number(number));
    line("Error = " + ReportText(text));
    line("Procedure = " + ReportText(procedure));
    line("CurDir = " + ReportText(ValueOf([&] {
             const QString working = m_context.workingFolder ? m_context.workingFolder() : QString();
             return working.isEmpty() ? CurrentFolder() : working;
         })));
    line("FileName = " + ReportText(path) + "[FileName]");
    line("MIDITitle = " + ReportText(title) + "[MIDITitle]");
    line("MIDITitle(Code) = " + TitleCodes(title) + "[MIDITitle(Code)]");
    line("MCIStatus = " + ReportText(mode));
    line("MIDILength = " + QByteArray::number(length));
    line("Header = ");
    report += ValueOf([&] { return HeaderBytes(path); }).leftJustified(kHeaderBytes, '\0');
    line({});
    line("[EOF]");
    return report;
}

void CentralErrorHandler::writeReport(std::int32_t number, const QString& text, const QString& procedure)
{
    const QString folder = GetFolderPart(m_iniPath);
    int err = ENOMEM;
    Attempt([&] {
        // Replaced whole: the file never holds two reports, nor half of one.
        err = ReplaceFileContent(NativePath(folder + QStringLiteral("ErrLog.txt")),
                                 composeReport(number, text, procedure));
    });
    Attempt([&] {
        QString message;
        if (err != 0) {
            // Nothing to point at: the message carries what the report would have begun with.
            message = Lines({QStringLiteral("未知のエラーです"), QString(),
                             QStringLiteral("「ErrLog.txt」を製作できませんでした (%1)")
                                 .arg(ErrorText(ErrorNumberFromErrno(err))),
                             QStringLiteral("フォルダ: ") + ShownFolder(folder),
                             QStringLiteral("大変申し訳ありませんが、次の内容を作者までお知らせください"),
                             QString(), QStringLiteral("Err = %1").arg(number),
                             QStringLiteral("Error = ") + text, QStringLiteral("Procedure = ") + procedure});
        } else {
            const QString where =
                folder == GetAppFolder()
                    ? QStringLiteral("実行ファイルと同じフォルダに「ErrLog.txt」というファイルを製作しました")
                    : QStringLiteral("「%1」フォルダに「ErrLog.txt」というファイルを製作しました")
                          .arg(ShownFolder(folder));
            message = Lines({QStringLiteral("未知のエラーです"), QString(), where,
                             QStringLiteral("大変申し訳ありませんが、内容をご覧ください")});
        }
        m_boxes.show(message, QStringLiteral("未知のエラー"), MsgIcon::Critical, MsgButtons::Ok);
    });
}

void EndWithUnguardedFailure(const RuntimeError& failure, MessageBoxes& boxes, ProcessEnd& end)
{
    const QString text =
        QStringLiteral("実行時エラー '%1':\r\n\r\n%2").arg(failure.number()).arg(failure.text());
    boxes.show(text, QStringLiteral("実行時エラー"), MsgIcon::Critical, MsgButtons::Ok);
    end.endNow(1);
    std::abort();
}

} // namespace calvane
