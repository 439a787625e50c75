#include "gui/frmVerInfo.h"

#include "errors/Guard.h"
#include "gui/AppIcon.h"
#include "gui/Controls.h"
#include "gui/desktop/Topmost.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace calvane {
namespace {

QLineEdit* readOnlyLine(QWidget* parent, const char* name)
{
    auto* box = named(new QLineEdit(parent), name);
    box->setReadOnly(true);
    return box;
}

/// The program's own UI font, bold, at the given size.
QFont boldFont(double points)
{
    QFont font = QApplication::font();
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

constexpr int kIconSize = 48;

} // namespace

frmVerInfo::frmVerInfo(QWidget& owner, QString helpUrl, bool topmost, ErrorReporter& reporter)
    : SecondaryWindow(owner), m_helpUrl(std::move(helpUrl)), m_topmost(topmost), m_reporter(reporter)
{
    setObjectName(QStringLiteral("frmVerInfo"));
    setWindowTitle(QStringLiteral("バージョン情報"));

    picIcon = named(new QLabel(this), "picIcon");
    picIcon->setFixedSize(kIconSize, kIconSize);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop); // drawn at (0, 0)
    lblAppName = named(new QLabel(this), "lblAppName");
    lblAppName->setFont(boldFont(14.25));
    lblVer = named(new QLabel(this), "lblVer");
    lblVer->setFont(boldFont(11.25));
    txtURL = readOnlyLine(this, "txtURL");
    txtCopyright = readOnlyLine(this, "txtCopyright");
    txtInfo = named(new QPlainTextEdit(this), "txtInfo");
    txtInfo->setReadOnly(true);
    txtInfo->setFixedHeight(txtInfo->fontMetrics().lineSpacing() * 4 + 12);
    txtInfo->setTabChangesFocus(true); // Tab goes on, as in every window
    // No captions: each says what it shows.
    picIcon->setAccessibleName(QStringLiteral("Calvane のアイコン"));
    txtURL->setAccessibleName(QStringLiteral("ヘルプページのアドレス"));
    txtCopyright->setAccessibleName(QStringLiteral("著作権"));
    txtInfo->setAccessibleName(QStringLiteral("説明"));
    SetTabOrder({txtURL, txtCopyright, txtInfo});

    auto* layout = new QGridLayout(this);
    layout->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(lblAppName, 0, 1);
    layout->addWidget(lblVer, 1, 1);
    layout->addWidget(txtURL, 2, 0, 1, 2);
    layout->addWidget(txtCopyright, 3, 0, 1, 2);
    layout->addWidget(txtInfo, 4, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    txtInfo->setMinimumWidth(txtInfo->fontMetrics().horizontalAdvance(QString(44, u'あ')));
}

void frmVerInfo::Form_Load()
{
    Guarded(m_reporter, "frmVerInfo.Form_Load", [&] {
        picIcon->setPixmap(AppIcon().pixmap(kIconSize, kIconSize)); // a missing icon leaves it empty
        if (m_topmost) {
            SetTopmost(*this, true);
        }
        lblAppName->setText(QStringLiteral("Calvane"));
        lblVer->setText(QStringLiteral("Ver 1.04"));
        txtURL->setText(m_helpUrl);
        txtURL->setCursorPosition(0);
        txtCopyright->setText(QStringLiteral("Copyright (C) 2026 Calvane contributors"));
        QString info = txtInfo->toPlainText();
        info += QStringLiteral("MIDIファイルの整理支援プログラムです") + QStringLiteral("\r\n");
        info +=
            QStringLiteral(
                "MIDIファイルのタイトルを一括して読み出し､それぞれのファイル名を付け替えることができます") +
            QStringLiteral("\r\n");
        info += QStringLiteral("その他、使い方などはヘルプファイルをご覧ください");
        txtInfo->setPlainText(info.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    });
}

} // namespace calvane
