#include "gui/CalvaneApplication.h"

#include "Fakes.h"

#include <QEvent>
#include <QObject>

#include <gtest/gtest.h>

using namespace calvane;
using namespace calvane::test;

namespace {

class Failing : public QObject
{
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            throw RuntimeError(ErrNo::FormatNotAvailable);
        }
        return QObject::event(e);
    }
};

TEST(CalvaneApplication, AnUnguardedFailureInAnEventShowsTheRunTimeErrorAndEnds)
{
    int argc = 1;
    char name[] = "app_test";
    char* argv[] = {name, nullptr};
    FakeMessageBoxes boxes;
    FakeProcessEnd end;
    CalvaneApplication app(argc, argv, boxes, end);

    Failing target;
    QEvent ordinary(QEvent::Type(QEvent::User + 1));
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&target, &ordinary));
    EXPECT_TRUE(boxes.shown.empty());

    QEvent failing(QEvent::User);
    EXPECT_THROW(QCoreApplication::sendEvent(&target, &failing), ProgramEnded);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("実行時エラー"));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("461")));
    EXPECT_TRUE(end.ended);
}

} // namespace
