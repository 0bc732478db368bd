// The window-system rules the handlers rely on: each change of a control's
// value, by the user or by code, reaches its handler once, at once and after
// the change; no change, no event; exactly one member of each group selected.

#include "MainWindowController.h"
#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace vemba {
namespace {

// Logs each handler call with the state of its control as the handler sees it.
class RecordingController : public MainWindowController {
public:
    RecordingController(const Services& services, QStringList& log)
        : MainWindowController(services), m_log(log) {}

    void Check1_Click() override { check(1); }
    void Check2_Click() override { check(2); }
    void Check3_Click() override { check(3); }
    void Option1_Click(std::int16_t i) override { option(1, i); }
    void Option2_Click(std::int16_t i) override { option(2, i); }
    void Option3_Click(std::int16_t i) override { option(3, i); }
    void Option4_Click(std::int16_t i) override { option(4, i); }
    void optMediaMode_Click(std::int16_t i) override {
        m_log << QStringLiteral("optMediaMode_Click %1 on=%2")
                     .arg(i)
                     .arg(form().optMediaMode(0)->isChecked());
    }
    void Slider1_Change() override {
        m_log << QStringLiteral("Slider1_Change %1").arg(form().Slider1()->value());
    }
    void MHelp1_Click() override { m_log << QStringLiteral("MHelp1_Click"); }
    void MVersion_Click() override { m_log << QStringLiteral("MVersion_Click"); }

private:
    void check(int n) {
        m_log << QStringLiteral("Check%1_Click %2").arg(n).arg(form().checkValue(n));
    }
    void option(int array, int index) {
        int selected = 0;
        for (int m = 0; m < 5; ++m) {
            QAbstractButton* b = form().Option(array, m);
            selected += b != nullptr && b->isChecked() ? 1 : 0;
        }
        m_log << QStringLiteral("Option%1_Click %2 selected=%3 own=%4")
                     .arg(array)
                     .arg(index)
                     .arg(selected)
                     .arg(form().Option(array, index)->isChecked());
    }
    QStringList& m_log;
};

class EventRulesTest : public testing::WindowTest {
protected:
    void SetUp() override {
        makeForm([this](const MainWindowController::Services& s) {
            return std::make_unique<RecordingController>(s, log);
        });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }

    // The log the last statement produced, then cleared.
    QStringList take() { return std::exchange(log, {}); }

    int selectedCount(int array) const {
        int n = 0;
        for (int m = 0; m < 5; ++m) {
            QAbstractButton* b = form->Option(array, m);
            n += b != nullptr && b->isChecked() ? 1 : 0;
        }
        return n;
    }

    QStringList log;
};

TEST_F(EventRulesTest, CheckBoxRaisesOncePerChangeWithTheNewValue) {
    form->Check(1)->setChecked(true);
    EXPECT_EQ(take(), QStringList{"Check1_Click 1"});
    form->Check(1)->setChecked(true);
    EXPECT_EQ(take(), QStringList{});
    form->Check(2)->setChecked(true); // ticked in the design already
    EXPECT_EQ(take(), QStringList{});

    QTest::mouseClick(form->Check(3), Qt::LeftButton);
    EXPECT_EQ(take(), QStringList{"Check3_Click 1"});
    QTest::mouseClick(form->Check(3), Qt::LeftButton);
    EXPECT_EQ(take(), QStringList{"Check3_Click 0"});
}

TEST_F(EventRulesTest, OptionGroupsKeepExactlyOneSelectedAndStayIndependent) {
    form->Option(1, 3)->setChecked(true);
    EXPECT_EQ(take(), QStringList{"Option1_Click 3 selected=1 own=1"});
    for (int array = 1; array <= 4; ++array) {
        EXPECT_EQ(selectedCount(array), 1) << array;
    }
    EXPECT_TRUE(form->Option(2, 1)->isChecked());
    EXPECT_TRUE(form->Option(3, 1)->isChecked());
    EXPECT_TRUE(form->Option(4, 0)->isChecked());

    // Selecting the selected member again, by code or by a click, raises nothing;
    // clearing it by code is refused.
    form->Option(1, 3)->setChecked(true);
    QTest::mouseClick(form->Option(1, 3), Qt::LeftButton);
    form->Option(1, 3)->setChecked(false);
    EXPECT_EQ(take(), QStringList{});
    EXPECT_TRUE(form->Option(1, 3)->isChecked());

    QTest::mouseClick(form->Option(4, 1), Qt::LeftButton, {}, QPoint(5, 6));
    EXPECT_EQ(take(), QStringList{"Option4_Click 1 selected=1 own=1"});
    form->Option(3, 4)->setChecked(true);
    EXPECT_EQ(take(), QStringList{"Option3_Click 4 selected=1 own=1"});
    EXPECT_EQ(selectedCount(4), 1);
    EXPECT_TRUE(form->Option(1, 3)->isChecked());
}

TEST_F(EventRulesTest, OnAndOffReleaseEachOther) {
    QTest::mouseClick(form->optMediaMode(0), Qt::LeftButton);
    EXPECT_EQ(take(), QStringList{"optMediaMode_Click 0 on=1"});
    EXPECT_FALSE(form->optMediaMode(1)->isChecked());
    QTest::mouseClick(form->optMediaMode(0), Qt::LeftButton);
    EXPECT_EQ(take(), QStringList{});
    EXPECT_TRUE(form->optMediaMode(0)->isChecked());

    form->optMediaMode(1)->setChecked(true);
    EXPECT_EQ(take(), QStringList{"optMediaMode_Click 1 on=0"});
    EXPECT_FALSE(form->optMediaMode(0)->isChecked());
}

TEST_F(EventRulesTest, SliderRaisesOncePerChange) {
    form->Slider1()->setValue(7);
    EXPECT_EQ(take(), QStringList{"Slider1_Change 7"});
    form->Slider1()->setValue(7);
    EXPECT_EQ(take(), QStringList{});

    form->Slider1()->setFocus();
    QTest::keyClick(form->Slider1(), Qt::Key_Right);
    QTest::keyClick(form->Slider1(), Qt::Key_PageDown);
    EXPECT_EQ(take(), (QStringList{"Slider1_Change 8", "Slider1_Change 6"}));
    form->Slider1()->setValue(42); // out of range: clamped to the end
    EXPECT_EQ(take(), QStringList{"Slider1_Change 10"});
}

TEST_F(EventRulesTest, MenuItemsRaiseOncePerChoice) {
    form->MHelp1()->trigger();
    form->MVersion()->trigger();
    EXPECT_EQ(take(), (QStringList{"MHelp1_Click", "MVersion_Click"}));
}

} // namespace
} // namespace vemba
