// The wave-shape previews: the exact points, where they land at 96 dpi, and
// that the boxes keep them. Expected values are worked out here, apart from
// the program's code.

#include "WavePreview.h"

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <utility>
#include <vector>

namespace vemba {
namespace {

struct Point {
    int member;
    float x, y;
    bool operator==(const Point&) const = default;
};

// The five segments: box, first and last x, and y at x.
struct Segment {
    int member, from, to;
    double (*y)(int);
};

const Segment kSegments[] = {
    {0, 0, 360, [](int b) { return std::sin(b * 6.28318 / 360); }},
    {1, 0, 90, [](int c) { return (1.0 / 90) * c; }},
    {1, 91, 180, [](int i) { return 1 - (1.0 / 90) * (i - 90); }},
    {1, 181, 270, [](int j) { return (-1.0 / 90) * (j - 180); }},
    {1, 271, 360, [](int k) { return (1.0 / 90) * (k - 270) - 1; }},
};

std::vector<Point> expectedPoints() {
    std::vector<Point> points;
    for (const Segment& s : kSegments) {
        for (int x = s.from; x <= s.to; ++x) {
            points.push_back({s.member, static_cast<float>(x), static_cast<float>(s.y(x))});
        }
    }
    return points;
}

// At 15 twips a pixel: x * 1.375 twips right, (y + 1.2) * 100 twips down,
// the pixel that holds that position; the right edge (x = 360) in the last
// column of the 33-pixel box.
constexpr int kColumns = 33, kRows = 16;
std::pair<int, int> pixelOf(float x, float y) {
    const int column = static_cast<int>(std::floor(x * 1.375 / 15));
    const int row = static_cast<int>(std::floor((y + 1.2) * 100 / 15));
    return {std::min(column, kColumns - 1), row};
}

std::set<std::pair<int, int>> drawnPixels(const QImage& image) {
    std::set<std::pair<int, int>> drawn;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).alpha() != 0) {
                drawn.insert({x, y});
            }
        }
    }
    return drawn;
}

TEST(WavePreviewPoints, FiveLoopsInOrderWithTheExactValues) {
    std::vector<Point> drawn;
    DrawWavePreview([&](int member, float x, float y) { drawn.push_back({member, x, y}); });
    const std::vector<Point> expected = expectedPoints();
    ASSERT_EQ(drawn.size(), 722U);
    for (std::size_t n = 0; n < expected.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(drawn[n], expected[n]);
    }
    // The literal 6.28318 leaves the sine just below zero at the end.
    EXPECT_LT(drawn[360].y, 0.0F);
    EXPECT_GT(drawn[360].y, -1e-5F);
}

class WavePreviewTest : public testing::WindowTest {
protected:
    void SetUp() override {
        makeForm();
        window->controller().Form_Load();
    }
    const QImage& image(int member) const { return std::as_const(*form->Picture1(member)).image(); }
};

TEST_F(WavePreviewTest, EachBoxHoldsExactlyItsCurveInDarkGreen) {
    std::set<std::pair<int, int>> expected[2];
    for (const Point& p : expectedPoints()) {
        expected[p.member].insert(pixelOf(p.x, p.y));
    }
    for (int member : {0, 1}) {
        SCOPED_TRACE(member);
        ASSERT_EQ(image(member).size(), QSize(kColumns, kRows));
        EXPECT_EQ(drawnPixels(image(member)), expected[member]);
        for (const auto& [x, y] : expected[member]) {
            EXPECT_EQ(image(member).pixelColor(x, y), QColor(0, 128, 0));
        }
    }
}

TEST_F(WavePreviewTest, TurningPointsSitOnTheirRows) {
    // Rows of y = 0, 1, -1: 120, 220 and 20 twips below the top.
    const int line = 120 / 15, low = 220 / 15, high = 20 / 15;
    const struct {
        int member, column, row;
    } kTurns[] = {
        {0, 0, line}, {0, 8, low}, {0, 16, line}, {0, 24, high}, {0, 32, line - 1},
        {1, 0, line}, {1, 8, low}, {1, 16, line}, {1, 24, high}, {1, 32, line},
    };
    for (const auto& t : kTurns) {
        SCOPED_TRACE(::testing::Message() << t.member << " " << t.column);
        EXPECT_NE(image(t.member).pixelColor(t.column, t.row).alpha(), 0);
    }
    // The sine bends downwards first; the rows above the line stay empty there.
    EXPECT_EQ(image(0).pixelColor(8, high).alpha(), 0);
}

TEST_F(WavePreviewTest, BoxesKeepTheDrawingThroughRepaintsAndWaveChoice) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const QImage before[2] = {image(0), image(1)};
    const qint64 keys[2] = {image(0).cacheKey(), image(1).cacheKey()};
    const std::pair<const char*, std::function<void()>> kEvents[] = {
        {"repaint", [&] { form->repaint(); }},
        {"hide and show",
         [&] {
             form->hide();
             form->show();
         }},
        {"minimize and restore",
         [&] {
             form->showMinimized();
             form->showNormal();
         }},
        {"triangle chosen", [&] { QTest::mouseClick(form->Option(4, 1), Qt::LeftButton); }},
        {"sine chosen", [&] { QTest::mouseClick(form->Option(4, 0), Qt::LeftButton); }},
    };
    for (const auto& [name, event] : kEvents) {
        SCOPED_TRACE(name);
        event();
        QCoreApplication::processEvents();
        for (int member : {0, 1}) {
            EXPECT_EQ(image(member).cacheKey(), keys[member]);
            EXPECT_EQ(image(member), before[member]);
            // What the screen shows is the retained image.
            const QImage shown = form->Picture1(member)->grab().toImage();
            const auto [x, y] = *drawnPixels(before[member]).begin();
            EXPECT_EQ(shown.pixelColor(x, y), QColor(0, 128, 0));
        }
    }
    EXPECT_TRUE(form->Option(4, 0)->isChecked());
}

} // namespace
} // namespace vemba
