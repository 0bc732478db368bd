// The window as it stands before start-up, checked against the layout table
// (its own copy here, in twips, so that a slip in the program's table shows).

#include "Form1.h"
#include "FormStyle.h"
#include "QtPrinters.h"
#include "RecordingAudioLayer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>

namespace vemba {
namespace {

enum Kind { Frame, Check, Radio, Push, Picture, Label, Slider };

struct Expected {
    const char* object;
    Kind kind;
    const char* container;
    const char* caption;
    int left, top, width, height, tab;
    int value;                   // check box value, 1 for a selected option, slider position
    std::optional<QColor> color; // caption colour, or the lamp's background
};

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);
const QColor white(255, 255, 255);

const Expected kTable[] = {
    {"Frame1", Frame, "Form1Client", "メスの蚊を寄せ付けない", 0, 0, 5775, 1695, 3, 0, red},
    {"Frame3", Frame, "Frame1", "", 120, 240, 5535, 615, 4, 0, {}},
    {"Check1", Check, "Frame3", "トンボの羽音", 120, 0, 1575, 255, 30, 0, blue},
    {"Option1_0", Radio, "Frame3", "20Hz", 120, 360, 735, 180, 5, 0, {}},
    {"Option1_1", Radio, "Frame3", "30Hz", 1080, 360, 735, 180, 6, 1, {}},
    {"Option1_2", Radio, "Frame3", "40Hz", 2040, 360, 735, 180, 7, 0, {}},
    {"Option1_3", Radio, "Frame3", "重ね合わせ", 3000, 360, 1215, 180, 8, 0, {}},
    {"Option1_4", Radio, "Frame3", "スイープ", 4440, 360, 975, 180, 9, 0, {}},
    {"Frame4", Frame, "Frame1", "", 120, 960, 5535, 615, 10, 0, {}},
    {"Check2", Check, "Frame4", "オスの蚊の羽音", 120, 0, 1575, 255, 29, 1, blue},
    {"Option2_0", Radio, "Frame4", "5KHz", 120, 360, 735, 180, 11, 0, {}},
    {"Option2_1", Radio, "Frame4", "7.5KHz", 1080, 360, 975, 180, 12, 1, {}},
    {"Option2_2", Radio, "Frame4", "10KHz", 2040, 360, 855, 180, 13, 0, {}},
    {"Option2_3", Radio, "Frame4", "重ね合わせ", 3000, 360, 1215, 180, 14, 0, {}},
    {"Option2_4", Radio, "Frame4", "スイープ", 4440, 360, 975, 180, 15, 0, {}},
    {"Frame5", Frame, "Form1Client", "オスの蚊を集める", 0, 1800, 5775, 975, 16, 0, red},
    {"Frame6", Frame, "Frame5", "", 120, 240, 5535, 615, 17, 0, {}},
    {"Check3", Check, "Frame6", "メスの蚊の羽音", 120, 0, 1575, 255, 31, 0, blue},
    {"Option3_0", Radio, "Frame6", "300Hz", 120, 360, 855, 180, 18, 0, {}},
    {"Option3_1", Radio, "Frame6", "450Hz", 1080, 360, 855, 180, 19, 1, {}},
    {"Option3_2", Radio, "Frame6", "600Hz", 2040, 360, 855, 180, 20, 0, {}},
    {"Option3_3", Radio, "Frame6", "重ね合わせ", 3000, 360, 1215, 180, 21, 0, {}},
    {"Option3_4", Radio, "Frame6", "スイープ", 4440, 360, 975, 180, 22, 0, {}},
    {"Frame7", Frame, "Form1Client", "波形の選択", 0, 2880, 2895, 615, 23, 0, {}},
    {"Option4_0", Radio, "Frame7", "サイン波", 240, 240, 255, 180, 24, 1, {}},
    {"Picture1_0", Picture, "Frame7", "", 600, 240, 495, 245, 32, 0, {}},
    {"Option4_1", Radio, "Frame7", "三角波", 1440, 240, 255, 180, 25, 0, {}},
    {"Picture1_1", Picture, "Frame7", "", 1800, 240, 495, 245, 33, 0, {}},
    {"Frame2", Frame, "Form1Client", "スイッチ", 3000, 2880, 2775, 615, 0, 0, {}},
    {"Label1", Label, "Frame2", "", 240, 300, 135, 135, 27, 0, white},
    {"optMediaMode_0", Push, "Frame2", "ON", 480, 240, 975, 255, 2, 0, {}},
    {"optMediaMode_1", Push, "Frame2", "OFF", 1560, 240, 975, 255, 1, 1, {}},
    {"Label2", Label, "Form1Client", "音量", 240, 3600, 495, 270, 28, 0, {}},
    {"Slider1", Slider, "Form1Client", "", 840, 3600, 4815, 255, 26, 5, {}},
};

int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

class FormLayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installFormAppearance(); }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<Form1>(Form1::Services{dir.path(), &audio});
    }

    QWidget* control(const char* name) const { return form->findChild<QWidget*>(name); }

    QTemporaryDir dir;
    testing::RecordingAudioLayer audio;
    std::unique_ptr<Form1> form;
};

// Whether the caption line of a frame, as painted, holds text of this colour.
bool hasCaptionIn(QWidget* frame, const QColor& color) {
    const QImage image = frame->grab().toImage();
    for (int y = 0; y < 12 && y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) < 40 && std::abs(c.green() - color.green()) < 40 &&
                std::abs(c.blue() - color.blue()) < 40) {
                return true;
            }
        }
    }
    return false;
}

QString captionOf(QWidget* w) {
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        return box->title();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text();
    }
    return {};
}

TEST_F(FormLayoutTest, EveryControlStandsAsTheTableSays) {
    for (const Expected& row : kTable) {
        SCOPED_TRACE(row.object);
        QWidget* w = control(row.object);
        ASSERT_NE(w, nullptr);
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromUtf8(row.container));
        EXPECT_EQ(captionOf(w), QString::fromUtf8(row.caption));
        EXPECT_EQ(w->geometry(), QRect(px(row.left), px(row.top), px(row.width), px(row.height)));
        EXPECT_EQ(w->property("TabIndex").toInt(), row.tab);

        switch (row.kind) {
        case Frame:
            ASSERT_NE(qobject_cast<QGroupBox*>(w), nullptr);
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
            // The caption's colour as drawn, not as configured.
            EXPECT_EQ(hasCaptionIn(w, red), row.color == red);
            break;
        case Check: {
            auto* box = qobject_cast<QCheckBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_FALSE(box->isTristate());
            EXPECT_EQ(box->isChecked() ? 1 : 0, row.value);
            EXPECT_EQ(box->palette().color(QPalette::WindowText), *row.color);
            break;
        }
        case Radio:
        case Push: {
            auto* button = qobject_cast<QAbstractButton*>(w);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(row.kind == Push, qobject_cast<QPushButton*>(w) != nullptr);
            EXPECT_EQ(button->isChecked(), row.value == 1);
            break;
        }
        case Picture:
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
            break;
        case Label:
            ASSERT_NE(qobject_cast<QLabel*>(w), nullptr);
            if (row.color) {
                EXPECT_EQ(w->palette().color(QPalette::Window), *row.color);
                EXPECT_TRUE(w->autoFillBackground());
            }
            break;
        case Slider: {
            auto* slider = qobject_cast<QSlider*>(w);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(slider->orientation(), Qt::Horizontal);
            EXPECT_EQ(slider->minimum(), 0);
            EXPECT_EQ(slider->maximum(), 10);
            EXPECT_EQ(slider->value(), row.value);
            break;
        }
        }
    }
}

TEST_F(FormLayoutTest, FocusableControlsFollowTheTabOrder) {
    std::vector<const Expected*> focusable;
    for (const Expected& row : kTable) {
        if (row.kind == Check || row.kind == Radio || row.kind == Push || row.kind == Slider) {
            focusable.push_back(&row);
        }
    }
    std::sort(focusable.begin(), focusable.end(),
              [](const Expected* a, const Expected* b) { return a->tab < b->tab; });
    for (std::size_t i = 0; i + 1 < focusable.size(); ++i) {
        SCOPED_TRACE(focusable[i]->object);
        QWidget* next = control(focusable[i]->object)->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next->objectName(), QString::fromUtf8(focusable[i + 1]->object));
    }

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), control("optMediaMode_1"));
}

TEST_F(FormLayoutTest, ToolTips) {
    const std::pair<const char*, const char*> tips[] = {
        {"Frame1", "血を吸うメスの蚊が嫌う音を出します"},
        {"Check1", "蚊の天敵、トンボの羽音です"},
        {"Check2", "卵をもったメスの蚊が避けるといわれているオスの蚊の羽音です"},
        {"Frame5", "血を吸わないオスの蚊を集める音を出します。集まったオスの蚊を駆除すると、次"
                   "の世代を壊滅できます。"},
        {"Check3", "オスの蚊はメスの蚊の羽音に集まります"},
        {"Frame7", "三角波を選択すると、表示の周波数に高調波が乗った信号が発射されます"},
        {"Option4_0", "サイン波"},
        {"Picture1_0", "サイン波"},
        {"Option4_1", "三角波"},
        {"Picture1_1", "三角波"},
    };
    int withTip = 0;
    for (const auto& [name, tip] : tips) {
        EXPECT_EQ(control(name)->toolTip(), QString::fromUtf8(tip)) << name;
    }
    for (const Expected& row : kTable) {
        withTip += control(row.object)->toolTip().isEmpty() ? 0 : 1;
    }
    EXPECT_EQ(withTip, static_cast<int>(std::size(tips)));
}

TEST_F(FormLayoutTest, WindowAndMenu) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ヴェンバPC"));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(form->windowIcon().actualSize(QSize(64, 64)), QSize(28, 28));

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->centralWidget()->size(), QSize(389, 270));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->centralWidget()->y(), form->menuBar()->height());

    const QList<QAction*> bar = form->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("ヘルプ(&H)"));
    const QList<QAction*> items = bar[0]->menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("MHelp1"));
    EXPECT_EQ(items[0]->text(), QStringLiteral("目次とキーワード(&C)"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->objectName(), QStringLiteral("MVersion"));
    EXPECT_EQ(items[2]->text(), QStringLiteral("バージョン情報(&A)"));
    for (QAction* item : items) {
        EXPECT_TRUE(item->shortcut().isEmpty());
        EXPECT_FALSE(item->isCheckable());
        EXPECT_TRUE(item->isEnabled());
    }
}

} // namespace
} // namespace vemba
