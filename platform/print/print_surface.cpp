#include "platform/print/print_surface.h"

#include <algorithm>
#include <cmath>

#include <QFontInfo>
#include <QImage>
#include <QPaintDevice>
#include <QString>

#include "platform/failure.h"
#include "platform/print/fonts.h"

namespace platform {

namespace {
// A text that ends a hair past a column (advances are fractional) has not
// passed it; a tenth of a character is far below anything visible.
constexpr double kColumnSlack = 0.1;
constexpr const char* kUnnamedDocument = "Document";
}  // namespace

PrintSurface::PrintSurface(std::unique_ptr<PrintBackend> backend) : backend_(std::move(backend)) {}

PrintSurface::~PrintSurface() {
    // As the platform's printer object did at the end of the program, a report
    // left unended still goes to the printer.
    if (open_) {
        try {
            endDocument();
        } catch (...) {
        }
    }
}

std::vector<std::string> PrintSurface::printers() const { return backend_->printers(); }

bool PrintSurface::choosePrinter(const std::string& deviceName) {
    for (const auto& p : backend_->printers()) {
        if (p == deviceName) {
            chosen_ = p;
            if (!open_) measure_.reset();
            return true;
        }
    }
    return false;
}

std::string PrintSurface::currentPrinter() const {
    if (chosen_) return *chosen_;
    return backend_->defaultPrinter();
}

void PrintSurface::setDocumentName(std::string name) { docName_ = std::move(name); }

DocumentInfo PrintSurface::documentInfo() const {
    return DocumentInfo{currentPrinter(), docName_.empty() ? std::string(kUnnamedDocument) : docName_};
}

void PrintSurface::setFont(const std::string& name, double points, bool bold) {
    if (!std::isfinite(points) || points <= 0 || points > 2160) throw Failure(380, "Invalid property value");
    font_ = PrintFont{name, points, bold};
    measure_.reset();
}

PrintSurface::Measure& PrintSurface::measure() {
    if (!measure_) {
        const QPaintDevice& dev = backend_->measureDevice(open_ ? docPrinter_ : currentPrinter());
        Measure m;
        m.qfont = printerFont(font_.name, font_.points, font_.bold);
        m.resolvedFamily = QFontInfo(m.qfont).family().toStdString();
        m.metrics.emplace(m.qfont, &dev);
        m.scaleX = kTwipsPerInch / dev.logicalDpiX();
        m.scaleY = kTwipsPerInch / dev.logicalDpiY();
        m.avgChar = m.metrics->averageCharWidth() * m.scaleX;
        m.lineSpacing = m.metrics->lineSpacing() * m.scaleY;
        m.ascent = m.metrics->ascent() * m.scaleY;
        measure_ = std::move(m);
    }
    return *measure_;
}

double PrintSurface::lineHeight() { return measure().lineSpacing; }
double PrintSurface::columnWidth() { return measure().avgChar; }

double PrintSurface::advance(const std::string& text) {
    Measure& m = measure();
    return m.metrics->horizontalAdvance(QString::fromUtf8(text)) * m.scaleX;
}

void PrintSurface::ensureOpen() {
    if (open_) return;
    DocumentInfo info = documentInfo();
    backend_->beginDocument(info);
    docPrinter_ = info.printer;
    open_ = true;
    measure_.reset();
}

void PrintSurface::endLine() {
    y_ += lineHasText_ && lineHeight_ > 0 ? lineHeight_ : measure().lineSpacing;
    x_ = 0;
    ++line_;
    lineHeight_ = 0;
    gridEnd_ = 1;
    lineHasText_ = false;
}

void PrintSurface::breakPage() {
    backend_->newPage();
    ++page_;
    line_ = 1;
    x_ = y_ = 0;
    lineHeight_ = 0;
    gridEnd_ = 1;
    lineHasText_ = false;
}

void PrintSurface::print(const std::vector<PrintItem>& items, LineEnd end) {
    ensureOpen();
    for (const PrintItem& item : items) {
        Measure& m = measure();
        int gridColumn = gridEnd_;
        if (item.column) {
            double target = (*item.column - 1) * m.avgChar;
            if (x_ > target + kColumnSlack * m.avgChar) endLine();
            x_ = target;
            gridColumn = std::max(*item.column, gridEnd_);
        }
        // A line that would run off the bottom of the page starts the next
        // page, so nothing printed is lost below the paper's edge.
        if (!lineHasText_ && y_ > 0 && y_ + m.lineSpacing > kPrintableHeightTwips) {
            breakPage();
            if (item.column) gridColumn = *item.column;
        }
        PrintedText t;
        t.text = item.text;
        t.column = item.column;
        t.gridColumn = gridColumn;
        t.x = x_;
        t.y = y_;
        t.baseline = y_ + m.ascent;
        t.line = line_;
        t.page = page_;
        t.font = font_;
        t.qfont = m.qfont;
        t.resolvedFamily = m.resolvedFamily;
        backend_->drawText(t);

        x_ += advance(item.text);
        lineHeight_ = std::max(lineHeight_, m.lineSpacing);
        gridEnd_ = gridColumn + static_cast<int>(QString::fromUtf8(item.text).size());
        lineHasText_ = true;
    }
    if (end == LineEnd::Yes) endLine();
}

void PrintSurface::newPage() {
    ensureOpen();
    breakPage();
}

std::optional<PrintedDocument> PrintSurface::endDocument() {
    if (!open_) return std::nullopt;
    // Whatever the printer answers, the next document starts afresh.
    open_ = false;
    page_ = 1;
    line_ = 1;
    x_ = y_ = 0;
    lineHeight_ = 0;
    gridEnd_ = 1;
    lineHasText_ = false;
    docName_.clear();
    measure_.reset();
    PrintedDocument d = backend_->endDocument();
    last_ = d;
    return d;
}

PrintedDocument PrintSurface::printImage(const QImage& image, const std::string& documentName) {
    DocumentInfo info{currentPrinter(), documentName.empty() ? std::string(kUnnamedDocument) : documentName};
    PrintedDocument d = backend_->printImage(info, image);
    last_ = d;
    return d;
}

}  // namespace platform
