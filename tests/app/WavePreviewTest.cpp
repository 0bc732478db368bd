// The wave-shape previews: the points, where they land at 96 dpi, and that
// the boxes keep them. Expected values are worked out here, apart from the
// program's code.

#include "WavePreview.h"

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QTest>
#include <cmath>
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

// The points the preview plots, in order.
std::vector<Point> plotted() {
    std::vector<Point> points;
    DrawWavePreview([&](int member, float x, float y) { points.push_back({member, x, y}); });
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

// One period of each shape, a point every degree: the sine, then the
// triangle through 1 at 90 and -1 at 270.
TEST(WavePreviewPoints, OnePeriodOfEachShapeAtEveryDegree) {
    const std::vector<Point> points = plotted();
    ASSERT_EQ(points.size(), 2 * 361U);
    for (std::size_t n = 0; n < points.size(); ++n) {
        const double x = static_cast<double>(n % 361);
        const double triangle = x <= 90 ? x / 90 : x <= 270 ? 2 - x / 90 : x / 90 - 4;
        const Point& p = points[n];
        EXPECT_EQ(p.member, n < 361 ? 0 : 1) << n;
        EXPECT_EQ(p.x, x) << n;
        EXPECT_NEAR(p.y, p.member == 0 ? std::sin(x * M_PI / 180) : triangle, 1e-5) << n;
    }
}

class WavePreviewTest : public testing::WindowTest {
protected:
    void SetUp() override {
        makeForm();
        window->controller().Form_Load();
    }
    const QImage& image(int member) const { return std::as_const(*form->Picture1(member)).image(); }
};

TEST_F(WavePreviewTest, EachBoxHoldsExactlyItsCurveAndShowsItInDarkGreen) {
    std::set<std::pair<int, int>> expected[2];
    for (const Point& p : plotted()) {
        expected[p.member].insert(pixelOf(p.x, p.y));
    }
    const qint64 keys[] = {image(0).cacheKey(), image(1).cacheKey()};
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    // Hidden, shown again and another wave chosen: what was drawn once stays,
    // never drawn again.
    form->hide();
    form->show();
    QTest::mouseClick(form->Option(4, 1), Qt::LeftButton);
    for (int member : {0, 1}) {
        SCOPED_TRACE(member);
        ASSERT_EQ(image(member).size(), QSize(kColumns, kRows));
        const std::set<std::pair<int, int>> drawn = drawnPixels(image(member));
        EXPECT_EQ(drawn, expected[member]);
        // Both shapes turn at the same places: y = 0 lies 120 twips below the
        // top, 1 at 220, -1 at 20.
        for (const auto& [x, twips] : {std::pair{0, 120}, {90, 220}, {180, 120}, {270, 20}}) {
            EXPECT_EQ(drawn.count({x * 1375 / 15000, twips / 15}), 1U) << x;
        }
        EXPECT_EQ(image(member).cacheKey(), keys[member]);
        const QImage shown = form->Picture1(member)->grab().toImage();
        for (const auto& [x, y] : expected[member]) {
            EXPECT_EQ(shown.pixelColor(x, y), QColor(0, 128, 0));
        }
    }
}

} // namespace
} // namespace vemba
