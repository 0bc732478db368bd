// The wave-shape previews: where one period of each shape lands at 96 dpi,
// and that the boxes keep it.

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QTest>
#include <gtest/gtest.h>
#include <set>
#include <utility>
#include <vector>

namespace vemba {
namespace {

constexpr int kColumns = 33, kRows = 16;

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

class WavePreviewTest : public testing::WindowTest {
protected:
    void SetUp() override {
        makeForm();
        window->controller().Form_Load();
    }
    const QImage& image(int member) const { return std::as_const(*form->Picture1(member)).image(); }
};

// At 15 twips a pixel, x * 1.375 twips right and (y + 1.2) * 100 twips down:
// both shapes turn at the same pixels; a little past 45 degrees the sine
// (0.71 to 0.81) reaches a row below the triangle's (0.49 to 0.6), which
// reaches one above.
TEST_F(WavePreviewTest, EachBoxHoldsOneUnbrokenCurveAndShowsItInDarkGreen) {
    const qint64 keys[] = {image(0).cacheKey(), image(1).cacheKey()};
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    // Another wave chosen: what was drawn once stays, never drawn again.
    QTest::mouseClick(form->Option(4, 1), Qt::LeftButton);
    const std::pair<int, int> kOwn[2] = {{4, 13}, {4, 11}};
    for (int member : {0, 1}) {
        SCOPED_TRACE(member);
        ASSERT_EQ(image(member).size(), QSize(kColumns, kRows));
        const std::set<std::pair<int, int>> drawn = drawnPixels(image(member));
        for (const auto& pixel : {std::pair{0, 8}, {8, 14}, {16, 8}, {24, 1}, kOwn[member]}) {
            EXPECT_EQ(drawn.count(pixel), 1U) << pixel.first << "," << pixel.second;
        }
        EXPECT_EQ(drawn.count(kOwn[1 - member]), 0U) << "the other shape's";
        // Every column holds one run of rows: no gap, no stray dot, no axis.
        for (int x = 0; x < kColumns; ++x) {
            std::vector<int> rows;
            for (const auto& [column, row] : drawn) {
                if (column == x) {
                    rows.push_back(row);
                }
            }
            ASSERT_FALSE(rows.empty()) << "column " << x;
            EXPECT_EQ(rows.back() - rows.front() + 1, std::ssize(rows)) << "column " << x;
        }
        EXPECT_EQ(image(member).cacheKey(), keys[member]);
        const QImage shown = form->Picture1(member)->grab().toImage();
        for (const auto& [x, y] : drawn) {
            EXPECT_EQ(shown.pixelColor(x, y), QColor(0, 128, 0));
        }
    }
}

} // namespace
} // namespace vemba
