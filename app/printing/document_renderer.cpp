#include "app/printing/document_renderer.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

// A device that only has a resolution, so fonts can be measured before the real device exists.
class TResolution : public QPaintDevice {
public:
    explicit TResolution(int dpi) : FDpi(dpi) {}

    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return FDpi;
            default:
                return QPaintDevice::metric(metric);
        }
    }

private:
    int FDpi;
};

}  // namespace

QFont PrintFont(int points) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(points);
    return font;
}

void RenderDocument(QPainter& painter, const TPrintDocument& document) {
    for (const TPrintOp& op : document.Ops) {
        const QFont font = PrintFont(op.Size);
        painter.setFont(font);
        const qreal ascent = QFontMetricsF(font, painter.device()).ascent();
        painter.drawText(QPointF(op.X, op.Y + ascent), op.Text);
    }
}

int DocumentHeight(const TPrintDocument& document, int dpi) {
    const TResolution device(dpi);
    qreal height = 0;
    for (const TPrintOp& op : document.Ops) {
        height = std::max(height, op.Y + QFontMetricsF(PrintFont(op.Size), &device).height());
    }
    return int(std::ceil(height));
}

}  // namespace app
