// The sleep inhibitor against a stand-in portal whose answers come late
// (tests/desktop/inhibit-service): switch changes that overtake an answer.

#include "SleepInhibitor.h"

#include "QtPrinters.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>
#include <optional>

namespace vemba::desktop {
namespace {

// The service's record: "asked <n> released <n>", then "held <pid> <kind> <flags>" lines.
QStringList record() {
    QFile file(qEnvironmentVariable("VEMBA_INHIBIT_STATE"));
    return file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
               : QStringList{};
}

// Runs the event loop until the record is `expected`, for at most ten
// seconds; the record then.
QStringList recordOnceItIs(const QStringList& expected) {
    const QDeadlineTimer deadline(10'000);
    while (record() != expected && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return record();
}

QString counts(int asked, int released) {
    return QStringLiteral("asked %1 released %2").arg(asked).arg(released);
}

QString heldHere() {
    return QStringLiteral("held %1 portal 4").arg(QCoreApplication::applicationPid());
}

TEST(SleepInhibitor, SwitchChangesThatOvertakeTheAnswerEndWithWhatTheSwitchSays) {
    ASSERT_EQ(record(), QStringList{counts(0, 0)});
    std::optional<SleepInhibitor> inhibitor(std::in_place);
    // OFF before the answer: released as it comes.
    inhibitor->setOn(true);
    inhibitor->setOn(false);
    EXPECT_EQ(recordOnceItIs({counts(1, 1)}), QStringList{counts(1, 1)});
    // ON again before the answer: that one answer is kept, and no other asked.
    inhibitor->setOn(true);
    inhibitor->setOn(false);
    inhibitor->setOn(true);
    const QStringList one{counts(2, 1), heldHere()};
    EXPECT_EQ(recordOnceItIs(one), one);

    // At the end, held or still to come, it is released before the
    // destructor returns: no event loop runs after it.
    std::optional<SleepInhibitor> coming(std::in_place);
    coming->setOn(true);
    coming.reset();
    inhibitor.reset();
    EXPECT_EQ(record(), QStringList{counts(3, 3)});
}

} // namespace
} // namespace vemba::desktop
