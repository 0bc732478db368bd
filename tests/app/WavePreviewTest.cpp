// The wave-shape previews: the exact points, where they land at 96 dpi, and
// that the boxes keep them. Expected values are worked out here, apart from
// the program's code.

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
    EXPECT_EQ(drawn, expectedPoints());
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
    for (const Point& p : expectedPoints()) {
        expected[p.member].insert(pixelOf(p.x, p.y));
    }
    // The turning points: y = 0 lies 120 twips below the top, 1 at 220, -1 at 20.
    for (const auto& [x, twips] : {std::pair{0, 120}, {90, 220}, {180, 120}, {270, 20}}) {
        EXPECT_EQ(expected[1].count({static_cast<int>(x * 1.375 / 15), twips / 15}), 1U) << x;
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
        EXPECT_EQ(drawnPixels(image(member)), expected[member]);
        EXPECT_EQ(image(member).cacheKey(), keys[member]);
        const QImage shown = form->Picture1(member)->grab().toImage();
        for (const auto& [x, y] : expected[member]) {
            EXPECT_EQ(shown.pixelColor(x, y), QColor(0, 128, 0));
        }
    }
}

} // namespace
} // namespace vemba
