#pragma once
// With no printer installed a document becomes a PDF file in the print folder
// of the local drive (host directory of G: + "Printed"), named by date, time
// and report, so nothing printed is lost and the user can open it.
#include <filesystem>
#include <memory>
#include <string>

#include "platform/print/print_backend.h"

class QPainter;
class QPdfWriter;

namespace platform {

class PdfBackend : public PrintBackend {
public:
    explicit PdfBackend(DriveMap drives, PrintClock clock = {});
    ~PdfBackend() override;

    std::vector<std::string> printers() const override { return {}; }
    std::string defaultPrinter() const override { return {}; }
    const QPaintDevice& measureDevice(const std::string& printer) override;
    void beginDocument(const DocumentInfo& info) override;
    void drawText(const PrintedText& item) override;
    void newPage() override;
    PrintedDocument endDocument() override;
    PrintedDocument printImage(const DocumentInfo& info, const QImage& image) override;

    // The host directory the files go to (created when first needed).
    std::filesystem::path folder() const;
    // "2026-12-11 14-03-59 Insurance Report.pdf" for that time and report.
    static std::string fileName(const Date& when, const std::string& report);

private:
    struct Job;
    std::unique_ptr<Job> startJob(const DocumentInfo& info);
    // Ends the job's file and gives it its final name; on a failure the
    // temporary file is removed.
    std::filesystem::path finish(Job& job);
    std::filesystem::path claimName(Job& job);

    DriveMap drives_;
    PrintClock clock_;
    std::unique_ptr<Job> job_;
};

}  // namespace platform
