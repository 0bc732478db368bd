// The main window as it stands before start-up: built from its layout table,
// focus in the table's tab order, a fixed size.

#include "BuiltForm.h"
#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace vemba {
namespace {

// The window's design, copied here so that a slip in the program's table shows.
using K = ControlKind;
constexpr std::uint32_t kRed = 0x000000FF;
constexpr std::uint32_t kBlue = 0x00FF0000;
constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::optional<std::uint32_t> kNone;

constexpr std::array<ControlRow, 34> kControls{{
    {"Frame1", -1, K::Frame, nullptr, "メスの蚊を寄せ付けない", 0, 0, 5775, 1695, 3, 0, kRed},
    {"Frame3", -1, K::UntitledFrame, "Frame1", nullptr, 120, 240, 5535, 615, 4, 0, kNone},
    {"Check1", -1, K::CheckBox, "Frame3", "トンボの羽音", 120, 0, 1575, 255, 30, 0, kBlue},
    {"Option1", 0, K::OptionButton, "Frame3", "20Hz", 120, 360, 735, 180, 5, 0, kNone},
    {"Option1", 1, K::OptionButton, "Frame3", "30Hz", 1080, 360, 735, 180, 6, 1, kNone},
    {"Option1", 2, K::OptionButton, "Frame3", "40Hz", 2040, 360, 735, 180, 7, 0, kNone},
    {"Option1", 3, K::OptionButton, "Frame3", "重ね合わせ", 3000, 360, 1215, 180, 8, 0, kNone},
    {"Option1", 4, K::OptionButton, "Frame3", "スイープ", 4440, 360, 975, 180, 9, 0, kNone},
    {"Frame4", -1, K::UntitledFrame, "Frame1", nullptr, 120, 960, 5535, 615, 10, 0, kNone},
    {"Check2", -1, K::CheckBox, "Frame4", "オスの蚊の羽音", 120, 0, 1575, 255, 29, 1, kBlue},
    {"Option2", 0, K::OptionButton, "Frame4", "5KHz", 120, 360, 735, 180, 11, 0, kNone},
    {"Option2", 1, K::OptionButton, "Frame4", "7.5KHz", 1080, 360, 975, 180, 12, 1, kNone},
    {"Option2", 2, K::OptionButton, "Frame4", "10KHz", 2040, 360, 855, 180, 13, 0, kNone},
    {"Option2", 3, K::OptionButton, "Frame4", "重ね合わせ", 3000, 360, 1215, 180, 14, 0, kNone},
    {"Option2", 4, K::OptionButton, "Frame4", "スイープ", 4440, 360, 975, 180, 15, 0, kNone},
    {"Frame5", -1, K::Frame, nullptr, "オスの蚊を集める", 0, 1800, 5775, 975, 16, 0, kRed},
    {"Frame6", -1, K::UntitledFrame, "Frame5", nullptr, 120, 240, 5535, 615, 17, 0, kNone},
    {"Check3", -1, K::CheckBox, "Frame6", "メスの蚊の羽音", 120, 0, 1575, 255, 31, 0, kBlue},
    {"Option3", 0, K::OptionButton, "Frame6", "300Hz", 120, 360, 855, 180, 18, 0, kNone},
    {"Option3", 1, K::OptionButton, "Frame6", "450Hz", 1080, 360, 855, 180, 19, 1, kNone},
    {"Option3", 2, K::OptionButton, "Frame6", "600Hz", 2040, 360, 855, 180, 20, 0, kNone},
    {"Option3", 3, K::OptionButton, "Frame6", "重ね合わせ", 3000, 360, 1215, 180, 21, 0, kNone},
    {"Option3", 4, K::OptionButton, "Frame6", "スイープ", 4440, 360, 975, 180, 22, 0, kNone},
    {"Frame7", -1, K::Frame, nullptr, "波形の選択", 0, 2880, 2895, 615, 23, 0, kNone},
    {"Option4", 0, K::OptionButton, "Frame7", "サイン波", 240, 240, 255, 180, 24, 1, kNone},
    {"Picture1", 0, K::PictureBox, "Frame7", nullptr, 600, 240, 495, 245, 32, 0, kNone},
    {"Option4", 1, K::OptionButton, "Frame7", "三角波", 1440, 240, 255, 180, 25, 0, kNone},
    {"Picture1", 1, K::PictureBox, "Frame7", nullptr, 1800, 240, 495, 245, 33, 0, kNone},
    {"Frame2", -1, K::Frame, nullptr, "スイッチ", 3000, 2880, 2775, 615, 0, 0, kNone},
    {"Label1", -1, K::Label, "Frame2", nullptr, 240, 300, 135, 135, 27, 0, kNone, kWhite},
    {"optMediaMode", 0, K::PushOption, "Frame2", "ON", 480, 240, 975, 255, 2, 0, kNone},
    {"optMediaMode", 1, K::PushOption, "Frame2", "OFF", 1560, 240, 975, 255, 1, 1, kNone},
    {"Label2", -1, K::Label, nullptr, "音量", 240, 3600, 495, 270, 28, 0, kNone},
    {"Slider1", -1, K::Slider, nullptr, nullptr, 840, 3600, 4815, 255, 26, 5, kNone},
}};

constexpr std::array<ToolTipRow, 10> kToolTips{{
    {"Frame1", -1, "血を吸うメスの蚊が嫌う音を出します"},
    {"Check1", -1, "蚊の天敵、トンボの羽音です"},
    {"Check2", -1, "卵をもったメスの蚊が避けるといわれているオスの蚊の羽音です"},
    {"Frame5", -1,
     "血を吸わないオスの蚊を集める音を出します。集まったオスの蚊を駆除すると、次の世代を壊滅できま"
     "す。"},
    {"Check3", -1, "オスの蚊はメスの蚊の羽音に集まります"},
    {"Frame7", -1, "三角波を選択すると、表示の周波数に高調波が乗った信号が発射されます"},
    {"Option4", 0, "サイン波"},
    {"Option4", 1, "三角波"},
    {"Picture1", 0, "サイン波"},
    {"Picture1", 1, "三角波"},
}};

class FormLayoutTest : public testing::WindowTest {};

TEST_F(FormLayoutTest, EveryControlStandsAsItsRowSays) {
    testing::expectBuiltFromRows(*form->centralWidget(), kControls, kToolTips);
}

TEST_F(FormLayoutTest, FocusFollowsTheTabOrderAndStartsOnOff) {
    const auto widget = [this](const ControlRow& row) {
        return form->findChild<QWidget*>(FormBuilder::controlName(row.name, row.index));
    };
    std::vector<ControlRow> rows(kControls.begin(), kControls.end());
    std::erase_if(rows,
                  [&](const ControlRow& r) { return widget(r)->focusPolicy() == Qt::NoFocus; });
    ASSERT_EQ(rows.size(), 23U) << "frames, labels and preview boxes take no focus";
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.tab < b.tab; });
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        QWidget* next = widget(rows[i])->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, widget(rows[i + 1]));
    }
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_EQ(QApplication::focusWidget(), control("optMediaMode_1"));
}

TEST_F(FormLayoutTest, WindowHasAFixedSizeAndNoMaximizeButton) {
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    EXPECT_EQ(form->centralWidget()->size(), QSize(389, 270));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ヴェンバPC"));
    EXPECT_EQ(form->windowIcon().actualSize(QSize(64, 64)), QSize(28, 28));

    const QList<QAction*> bar = form->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("ヘルプ(&H)"));
    QStringList items;
    for (QAction* item : bar[0]->menu()->actions()) {
        items << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    EXPECT_EQ(items, (QStringList{"目次とキーワード(&C)", "-", "バージョン情報(&A)"}));
}

} // namespace
} // namespace vemba
