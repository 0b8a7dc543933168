#include "app/printing/document_renderer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <cmath>

namespace {

constexpr int Dpi = 203;

// A white page at the receipt printers' resolution.
QImage Page() {
    QImage image(576, 400, QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(Dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    return image;
}

// The smallest rectangle holding every pixel that is not white.
QRect Ink(const QImage& image) {
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    return ink;
}

double DotsPerPoint() {
    return Dpi / 72.0;
}

TEST(DocumentRenderer, TextHangsBelowItsCornerInPointsAtTheDeviceResolution) {
    for (const int size : {8, 12, 30}) {
        QImage image = Page();
        QPainter painter(&image);
        app::RenderDocument(painter, {"t", {{40, 30, size, "H"}}});
        painter.end();
        const QRect ink = Ink(image);
        const double em = size * DotsPerPoint();
        // DejaVu Sans: ascent 0.93 em; an H is 0.73 em tall with a side bearing of 0.1 em.
        EXPECT_NEAR(ink.height(), 0.73 * em, 0.1 * em + 1) << size;
        EXPECT_NEAR(ink.top(), 30 + (0.93 - 0.73) * em, 0.1 * em + 1) << size;
        EXPECT_NEAR(ink.left(), 40 + 0.1 * em, 0.1 * em + 1) << size;
    }
}

TEST(DocumentRenderer, HeightReachesTheLowestLine) {
    EXPECT_EQ(app::DocumentHeight({"empty", {}}, Dpi), 0);
    const QImage device = Page();
    const double line8 = QFontMetricsF(app::PrintFont(8), &device).height();
    const double line30 = QFontMetricsF(app::PrintFont(30), &device).height();
    EXPECT_GT(line8, 8 * DotsPerPoint());
    const struct {
        app::TPrintDocument document;
        double height;
    } cases[] = {
        {{"one", {{0, 0, 8, "a"}}}, line8},
        {{"lowest last", {{0, 0, 30, "a"}, {0, 500, 8, "b"}}}, 500 + line8},
        {{"tall font higher up", {{0, 500, 8, "b"}, {0, 490, 30, "a"}}}, 490 + line30},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::DocumentHeight(c.document, Dpi), int(std::ceil(c.height)))
            << c.document.Title.toStdString();
    }
}

}  // namespace
