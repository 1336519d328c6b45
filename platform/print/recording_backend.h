#pragma once
// A printer that keeps what is printed, for tests and scenario runs: every
// text with its column, font, line, page and vertical position, and the pages
// as plain text lines in a character grid.
#include <optional>
#include <string>
#include <vector>

#include <QSize>

#include "platform/print/print_backend.h"

namespace platform {

struct RecordedItem {
    std::string text;
    std::optional<int> column;    // the column asked for
    int gridColumn = 1;           // where the text starts in the page's text lines
    double x = 0;                 // twips from the left margin
    double y = 0;                 // vertical position of its line, twips
    int line = 1;
    int page = 1;
    PrintFont font;
    std::string resolvedFamily;
};

struct RecordedDocument {
    std::string printer;
    std::string name;
    int pages = 1;
    std::vector<RecordedItem> items;
    std::optional<QSize> image;   // a printed screen image, instead of texts
    bool ended = false;

    // The page's lines (page from 1), each text at its grid column; a line's
    // trailing blanks are dropped. Lines after the last text are not listed.
    std::vector<std::string> pageLines(int page) const;
    // Every page's lines, a page's end marked by a line holding "\f".
    std::vector<std::string> lines() const;
    // The lines joined by "\n".
    std::string text() const;
};

class RecordingBackend : public PrintBackend {
public:
    // The installed printers; the first is the system's default.
    explicit RecordingBackend(std::vector<std::string> printers = {});
    void setPrinters(std::vector<std::string> printers) { printers_ = std::move(printers); }

    std::vector<std::string> printers() const override { return printers_; }
    std::string defaultPrinter() const override { return printers_.empty() ? std::string() : printers_.front(); }
    const QPaintDevice& measureDevice(const std::string& printer) override;
    void beginDocument(const DocumentInfo& info) override;
    void drawText(const PrintedText& item) override;
    void newPage() override;
    PrintedDocument endDocument() override;
    PrintedDocument printImage(const DocumentInfo& info, const QImage& image) override;

    // Every document begun, in order; the last may still be open.
    const std::vector<RecordedDocument>& documents() const { return docs_; }
    std::vector<RecordedDocument> endedDocuments() const;
    // The text of every document so far, open or ended, one after another.
    std::string allText() const;
    void clear() { docs_.clear(); }

private:
    RecordedDocument& open();
    std::vector<std::string> printers_;
    std::vector<RecordedDocument> docs_;
};

}  // namespace platform
