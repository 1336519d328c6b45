#pragma once
// The system's printers through Qt's print support (CUPS on this platform).
#include <memory>
#include <string>

#include "platform/print/pdf_backend.h"
#include "platform/print/print_backend.h"

class QPainter;
class QPrinter;

namespace platform {

class SystemPrinterBackend : public PrintBackend {
public:
    // `drives` and `clock` serve the PDF files written when, by the time a
    // document starts, no printer is installed any more.
    explicit SystemPrinterBackend(DriveMap drives, PrintClock clock = {});
    ~SystemPrinterBackend() override;

    std::vector<std::string> printers() const override;
    std::string defaultPrinter() const override;
    const QPaintDevice& measureDevice(const std::string& printer) override;
    void beginDocument(const DocumentInfo& info) override;
    void drawText(const PrintedText& item) override;
    void newPage() override;
    PrintedDocument endDocument() override;
    PrintedDocument printImage(const DocumentInfo& info, const QImage& image) override;

private:
    // The installed printer of that name, else the default one; empty when
    // none is installed.
    std::string resolve(const std::string& printer) const;
    std::unique_ptr<QPrinter> makePrinter(const std::string& name, const std::string& docName) const;

    PdfBackend fallback_;
    bool onFallback_ = false;
    std::unique_ptr<QPrinter> measurePrinter_;
    std::string measureName_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    DocumentInfo doc_;
    int pages_ = 1;
};

}  // namespace platform
