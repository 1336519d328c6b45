#include "platform/print/print_backend.h"

#include <algorithm>

#include <QImage>
#include <QPrinterInfo>

#include "platform/print/pdf_backend.h"
#include "platform/print/system_printer_backend.h"

namespace platform {

const QPaintDevice& twipsReferenceDevice() {
    static const QImage device = [] {
        QImage img(8, 8, QImage::Format_RGB32);
        const int dotsPerMeter = static_cast<int>(kTwipsPerInch / 0.0254 + 0.5);
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
        return img;
    }();
    return device;
}

QRectF screenImageRect(const QImage& image) {
    constexpr double kTwipsPerPixel = 15.0;  // the screens' 96 pixels an inch
    const double ratio = image.devicePixelRatio() > 0 ? image.devicePixelRatio() : 1.0;
    double w = image.width() / ratio * kTwipsPerPixel;
    double h = image.height() / ratio * kTwipsPerPixel;
    if (w <= 0 || h <= 0) return QRectF();
    double scale = std::min({1.0, kPrintableWidthTwips / w, kPrintableHeightTwips / h});
    w *= scale;
    h *= scale;
    return QRectF((kPrintableWidthTwips - w) / 2, 0, w, h);
}

std::unique_ptr<PrintBackend> createPrintBackend(const DriveMap& drives, PrintClock clock) {
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        return std::make_unique<SystemPrinterBackend>(drives, std::move(clock));
    return std::make_unique<PdfBackend>(drives, std::move(clock));
}

}  // namespace platform
