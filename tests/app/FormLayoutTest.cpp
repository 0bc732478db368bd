// The window as it stands before start-up, checked against the layout table
// (its own copy here, in twips, so that a slip in the program's table shows).

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace vemba {
namespace {

struct Expected {
    const char* object;
    const char* qtClass;
    const char* container;
    const char* caption;
    int left, top, width, height, tab;
    int value;  // check box value, 1 for a selected option, slider position
    QRgb color; // caption colour, or the lamp's background; 0 for none
    const char* toolTip;
};

constexpr QRgb R = 0xFFFF0000, B = 0xFF0000FF, W = 0xFFFFFFFF;

const Expected kTable[] = {
    {"Frame1", "QGroupBox", "Form1Client", "メスの蚊を寄せ付けない", 0, 0, 5775, 1695, 3, 0, R,
     "血を吸うメスの蚊が嫌う音を出します"},
    {"Frame3", "QGroupBox", "Frame1", "", 120, 240, 5535, 615, 4, 0, 0, ""},
    {"Check1", "QCheckBox", "Frame3", "トンボの羽音", 120, 0, 1575, 255, 30, 0, B,
     "蚊の天敵、トンボの羽音です"},
    {"Option1_0", "QRadioButton", "Frame3", "20Hz", 120, 360, 735, 180, 5, 0, 0, ""},
    {"Option1_1", "QRadioButton", "Frame3", "30Hz", 1080, 360, 735, 180, 6, 1, 0, ""},
    {"Option1_2", "QRadioButton", "Frame3", "40Hz", 2040, 360, 735, 180, 7, 0, 0, ""},
    {"Option1_3", "QRadioButton", "Frame3", "重ね合わせ", 3000, 360, 1215, 180, 8, 0, 0, ""},
    {"Option1_4", "QRadioButton", "Frame3", "スイープ", 4440, 360, 975, 180, 9, 0, 0, ""},
    {"Frame4", "QGroupBox", "Frame1", "", 120, 960, 5535, 615, 10, 0, 0, ""},
    {"Check2", "QCheckBox", "Frame4", "オスの蚊の羽音", 120, 0, 1575, 255, 29, 1, B,
     "卵をもったメスの蚊が避けるといわれているオスの蚊の羽音です"},
    {"Option2_0", "QRadioButton", "Frame4", "5KHz", 120, 360, 735, 180, 11, 0, 0, ""},
    {"Option2_1", "QRadioButton", "Frame4", "7.5KHz", 1080, 360, 975, 180, 12, 1, 0, ""},
    {"Option2_2", "QRadioButton", "Frame4", "10KHz", 2040, 360, 855, 180, 13, 0, 0, ""},
    {"Option2_3", "QRadioButton", "Frame4", "重ね合わせ", 3000, 360, 1215, 180, 14, 0, 0, ""},
    {"Option2_4", "QRadioButton", "Frame4", "スイープ", 4440, 360, 975, 180, 15, 0, 0, ""},
    {"Frame5", "QGroupBox", "Form1Client", "オスの蚊を集める", 0, 1800, 5775, 975, 16, 0, R,
     "血を吸わないオスの蚊を集める音を出します。集まったオスの蚊を駆除すると、次の世代を壊滅で"
     "きます。"},
    {"Frame6", "QGroupBox", "Frame5", "", 120, 240, 5535, 615, 17, 0, 0, ""},
    {"Check3", "QCheckBox", "Frame6", "メスの蚊の羽音", 120, 0, 1575, 255, 31, 0, B,
     "オスの蚊はメスの蚊の羽音に集まります"},
    {"Option3_0", "QRadioButton", "Frame6", "300Hz", 120, 360, 855, 180, 18, 0, 0, ""},
    {"Option3_1", "QRadioButton", "Frame6", "450Hz", 1080, 360, 855, 180, 19, 1, 0, ""},
    {"Option3_2", "QRadioButton", "Frame6", "600Hz", 2040, 360, 855, 180, 20, 0, 0, ""},
    {"Option3_3", "QRadioButton", "Frame6", "重ね合わせ", 3000, 360, 1215, 180, 21, 0, 0, ""},
    {"Option3_4", "QRadioButton", "Frame6", "スイープ", 4440, 360, 975, 180, 22, 0, 0, ""},
    {"Frame7", "QGroupBox", "Form1Client", "波形の選択", 0, 2880, 2895, 615, 23, 0, 0,
     "三角波を選択すると、表示の周波数に高調波が乗った信号が発射されます"},
    {"Option4_0", "QRadioButton", "Frame7", "サイン波", 240, 240, 255, 180, 24, 1, 0, "サイン波"},
    {"Picture1_0", "QWidget", "Frame7", "", 600, 240, 495, 245, 32, 0, 0, "サイン波"},
    {"Option4_1", "QRadioButton", "Frame7", "三角波", 1440, 240, 255, 180, 25, 0, 0, "三角波"},
    {"Picture1_1", "QWidget", "Frame7", "", 1800, 240, 495, 245, 33, 0, 0, "三角波"},
    {"Frame2", "QGroupBox", "Form1Client", "スイッチ", 3000, 2880, 2775, 615, 0, 0, 0, ""},
    {"Label1", "QLabel", "Frame2", "", 240, 300, 135, 135, 27, 0, W, ""},
    {"optMediaMode_0", "QPushButton", "Frame2", "ON", 480, 240, 975, 255, 2, 0, 0, ""},
    {"optMediaMode_1", "QPushButton", "Frame2", "OFF", 1560, 240, 975, 255, 1, 1, 0, ""},
    {"Label2", "QLabel", "Form1Client", "音量", 240, 3600, 495, 270, 28, 0, 0, ""},
    {"Slider1", "QSlider", "Form1Client", "", 840, 3600, 4815, 255, 26, 5, 0, ""},
};

int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

QString captionOf(QWidget* w) {
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        return box->title();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->text();
    }
    auto* label = qobject_cast<QLabel*>(w);
    return label != nullptr ? label->text() : QString();
}

int valueOf(QWidget* w) {
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->isChecked() ? 1 : 0;
    }
    auto* slider = qobject_cast<QSlider*>(w);
    return slider != nullptr ? slider->value() : 0;
}

// The colour the table gives, as the widget shows it: a frame's caption as
// painted (red text in its top rows), a check box's text, the lamp's fill.
QRgb colorOf(QWidget* w) {
    if (qobject_cast<QGroupBox*>(w) != nullptr) {
        const QImage image = w->grab().toImage();
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 60 && c.blue() < 60) {
                    return R;
                }
            }
        }
        return 0;
    }
    if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->autoFillBackground()) {
        return label->palette().color(QPalette::Window).rgb();
    }
    const QRgb text = w->palette().color(QPalette::WindowText).rgb();
    return text == B ? B : 0;
}

class FormLayoutTest : public testing::WindowTest {
protected:
    void SetUp() override { makeForm(); }

    QWidget* control(const char* name) const { return form->findChild<QWidget*>(name); }
};

TEST_F(FormLayoutTest, EveryControlStandsAsTheTableSays) {
    for (const Expected& row : kTable) {
        SCOPED_TRACE(row.object);
        QWidget* w = control(row.object);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(row.qtClass));
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromUtf8(row.container));
        EXPECT_EQ(captionOf(w), QString::fromUtf8(row.caption));
        EXPECT_EQ(w->geometry(), QRect(px(row.left), px(row.top), px(row.width), px(row.height)));
        EXPECT_EQ(w->property("TabIndex").toInt(), row.tab);
        EXPECT_EQ(valueOf(w), row.value);
        EXPECT_EQ(colorOf(w), row.color);
        EXPECT_EQ(w->toolTip(), QString::fromUtf8(row.toolTip));
    }
    EXPECT_EQ(form->Slider1()->maximum(), 10);
    EXPECT_EQ(form->Slider1()->minimum(), 0);
}

TEST_F(FormLayoutTest, FocusFollowsTheTabOrderAndStartsOnOff) {
    std::vector<const Expected*> focusable;
    for (const Expected& row : kTable) {
        if (control(row.object)->focusPolicy() != Qt::NoFocus) {
            focusable.push_back(&row);
        }
    }
    // Frames, labels and preview boxes take no focus.
    ASSERT_EQ(focusable.size(), 23U);
    std::sort(focusable.begin(), focusable.end(),
              [](const Expected* a, const Expected* b) { return a->tab < b->tab; });
    for (std::size_t i = 0; i + 1 < focusable.size(); ++i) {
        QWidget* next = control(focusable[i]->object)->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next->objectName(), QString::fromUtf8(focusable[i + 1]->object));
    }
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_EQ(QApplication::focusWidget(), control("optMediaMode_1"));
}

TEST_F(FormLayoutTest, WindowAndMenu) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ヴェンバPC"));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->windowIcon().actualSize(QSize(64, 64)), QSize(28, 28));

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    EXPECT_EQ(form->centralWidget()->size(), QSize(389, 270));
    EXPECT_EQ(form->centralWidget()->y(), form->menuBar()->height());
    EXPECT_EQ(form->minimumSize(), form->maximumSize());

    const QList<QAction*> bar = form->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("ヘルプ(&H)"));
    QStringList items;
    for (QAction* item : bar[0]->menu()->actions()) {
        items << (item->isSeparator() ? QStringLiteral("-") : item->text());
        EXPECT_TRUE(item->shortcut().isEmpty() && !item->isCheckable() && item->isEnabled());
    }
    EXPECT_EQ(items, (QStringList{"目次とキーワード(&C)", "-", "バージョン情報(&A)"}));
}

} // namespace
} // namespace vemba
