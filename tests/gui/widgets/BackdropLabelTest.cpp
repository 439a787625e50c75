// BackdropLabel against a plain label in twin frames of one window, as the
// screen shows them after partial repaints: the same pixels, also after the
// label has moved and its frame has changed colour.

#include "gui/widgets/BackdropLabel.h"

#include <QGroupBox>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace calvane;

namespace {

TEST(BackdropLabel, LooksLikeAPlainLabelThroughNewTextsMovesAndFrameChanges)
{
    QWidget window;
    window.resize(420, 120);
    auto* plainFrame = new QGroupBox(QStringLiteral("MIDI プレーヤー"), &window);
    auto* backdropFrame = new QGroupBox(QStringLiteral("MIDI プレーヤー"), &window);
    plainFrame->setGeometry(5, 5, 200, 100);
    backdropFrame->setGeometry(215, 5, 200, 100);
    QLabel* plain = new QLabel(QStringLiteral("00:00.000"), plainFrame);
    QLabel* backdrop = new BackdropLabel(QStringLiteral("00:00.000"), backdropFrame);
    for (QLabel* label : {plain, backdrop}) {
        label->setGeometry(0, 8, 90, 20); // over the frame's border and title
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const auto same = [&](const char* step) {
        QCoreApplication::processEvents();
        const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown.copy(plainFrame->geometry()), shown.copy(backdropFrame->geometry())) << step;
    };
    same("shown");
    for (QLabel* label : {plain, backdrop}) {
        label->setText(QStringLiteral("01:23.456"));
    }
    same("new text");
    for (QLabel* label : {plain, backdrop}) {
        label->move(40, 50);
        label->setText(QStringLiteral("01:23.457"));
    }
    same("moved");
    for (QGroupBox* frame : {plainFrame, backdropFrame}) {
        QPalette palette = frame->palette();
        palette.setColor(QPalette::Window, Qt::darkCyan);
        frame->setPalette(palette);
        frame->setAutoFillBackground(true);
    }
    same("frame recoloured");
}

} // namespace
