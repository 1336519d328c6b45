#include "platform/print/system_printer_backend.h"

#include <stdexcept>

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>

#include "platform/failure.h"

namespace platform {

namespace {

Failure printerError(const std::string& printer) { return Failure(482, "Printer error", printer); }

QPointF toDevice(const QPaintDevice& d, double xTwips, double yTwips) {
    return QPointF(xTwips * d.logicalDpiX() / kTwipsPerInch, yTwips * d.logicalDpiY() / kTwipsPerInch);
}

}  // namespace

SystemPrinterBackend::SystemPrinterBackend(DriveMap drives, PrintClock clock)
    : fallback_(std::move(drives), std::move(clock)) {}

SystemPrinterBackend::~SystemPrinterBackend() {
    // A document never ended is not sent to the printer.
    if (painter_ && painter_->isActive()) {
        printer_->abort();
        painter_->end();
    }
}

std::vector<std::string> SystemPrinterBackend::printers() const {
    std::vector<std::string> out;
    for (const QString& n : QPrinterInfo::availablePrinterNames()) out.push_back(n.toStdString());
    return out;
}

std::string SystemPrinterBackend::defaultPrinter() const {
    QString d = QPrinterInfo::defaultPrinterName();
    if (!d.isEmpty()) return d.toStdString();
    QStringList all = QPrinterInfo::availablePrinterNames();
    return all.isEmpty() ? std::string() : all.front().toStdString();
}

std::string SystemPrinterBackend::resolve(const std::string& printer) const {
    const auto all = printers();
    for (const auto& p : all)
        if (p == printer) return p;
    return defaultPrinter();
}

std::unique_ptr<QPrinter> SystemPrinterBackend::makePrinter(const std::string& name, const std::string& docName) const {
    QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(name));
    auto p = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    p->setDocName(QString::fromStdString(docName));
    p->setFullPage(false);
    p->setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(0.5, 0.5, 0.5, 0.5),
                                 QPageLayout::Inch));
    return p;
}

const QPaintDevice& SystemPrinterBackend::measureDevice(const std::string& printer) {
    if (onFallback_) return fallback_.measureDevice(printer);
    if (printer_) return *printer_;
    std::string name = resolve(printer);
    if (name.empty()) return fallback_.measureDevice(printer);
    if (!measurePrinter_ || measureName_ != name) {
        measurePrinter_ = makePrinter(name, {});
        measureName_ = name;
    }
    return *measurePrinter_;
}

void SystemPrinterBackend::beginDocument(const DocumentInfo& info) {
    if (printer_ || onFallback_) throw std::logic_error("a document is already under way");
    std::string name = resolve(info.printer);
    if (name.empty()) {
        // Every printer has gone since the program started: keep the document.
        fallback_.beginDocument(info);
        onFallback_ = true;
        return;
    }
    auto printer = makePrinter(name, info.name);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(printer.get())) throw printerError(name);
    printer_ = std::move(printer);
    painter_ = std::move(painter);
    doc_ = DocumentInfo{name, info.name};
    pages_ = 1;
}

void SystemPrinterBackend::drawText(const PrintedText& t) {
    if (onFallback_) return fallback_.drawText(t);
    if (!painter_) throw std::logic_error("no document under way");
    if (t.text.empty()) return;
    painter_->setFont(t.qfont);
    painter_->drawText(toDevice(*printer_, t.x, t.baseline), QString::fromUtf8(t.text));
}

void SystemPrinterBackend::newPage() {
    if (onFallback_) return fallback_.newPage();
    if (!painter_) throw std::logic_error("no document under way");
    if (!printer_->newPage()) throw printerError(doc_.printer);
    ++pages_;
}

PrintedDocument SystemPrinterBackend::endDocument() {
    if (onFallback_) {
        onFallback_ = false;
        return fallback_.endDocument();
    }
    if (!painter_) throw std::logic_error("no document under way");
    bool ok = painter_->end();
    painter_.reset();
    printer_.reset();
    if (!ok) throw printerError(doc_.printer);
    return PrintedDocument{doc_.printer, doc_.name, {}, pages_};
}

PrintedDocument SystemPrinterBackend::printImage(const DocumentInfo& info, const QImage& image) {
    std::string name = resolve(info.printer);
    if (name.empty()) return fallback_.printImage(info, image);
    auto printer = makePrinter(name, info.name);
    QPainter painter;
    if (!painter.begin(printer.get())) throw printerError(name);
    QRectF r = screenImageRect(image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(toDevice(*printer, r.left(), r.top()), toDevice(*printer, r.right(), r.bottom())), image);
    if (!painter.end()) throw printerError(name);
    return PrintedDocument{name, info.name, {}, 1};
}

}  // namespace platform
