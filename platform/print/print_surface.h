#pragma once
// The program's one current printer. Reports print lines of texts at character
// columns; the surface keeps the position on the page, breaks to a new page
// when a line would not fit, and hands each document to its backend (a
// system printer, a PDF file, or a recording for tests).
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QFont>
#include <QFontMetricsF>

#include "platform/print/print_backend.h"

class QImage;

namespace platform {

// A text to print, at a column (counted from 1 in the average character width
// of the current font) or right after what was printed before it.
struct PrintItem {
    PrintItem(std::string t) : text(std::move(t)) {}
    PrintItem(const char* t) : text(t) {}
    // Columns below 1 count as column 1.
    PrintItem(int col, std::string t) : text(std::move(t)), column(col < 1 ? 1 : col) {}
    std::string text;
    std::optional<int> column;
};

class PrintSurface {
public:
    explicit PrintSurface(std::unique_ptr<PrintBackend> backend);
    // Sends a document still under way.
    ~PrintSurface();
    PrintSurface(const PrintSurface&) = delete;
    PrintSurface& operator=(const PrintSurface&) = delete;

    // --- printers ---
    // Every installed printer's device name, in the system's order.
    std::vector<std::string> printers() const;
    // Makes the printer whose device name equals `deviceName` exactly (case
    // counts) the current printer. No such printer: nothing changes; false.
    bool choosePrinter(const std::string& deviceName);
    // The printer documents go to: the chosen one, or the system's default
    // until one is chosen; empty when none is installed.
    std::string currentPrinter() const;
    bool printerChosen() const { return chosen_.has_value(); }

    // Names the next document begun; "Document" when the caller gives none.
    // Cleared by endDocument, so each report names its own.
    void setDocumentName(std::string name);

    // --- text ---
    // Applies to everything printed after it. A size must be above 0 and at
    // most 2160 points (Invalid property value otherwise).
    void setFont(const std::string& name, double points, bool bold = false);
    const PrintFont& font() const { return font_; }

    enum class LineEnd { Yes, No };
    // The texts follow one another on the current line with nothing between
    // them; a text at a column already passed goes to that column of the next
    // line. With LineEnd::Yes the line ends after the last text.
    void print(const std::vector<PrintItem>& items, LineEnd end = LineEnd::Yes);
    void print(std::initializer_list<PrintItem> items, LineEnd end = LineEnd::Yes) {
        print(std::vector<PrintItem>(items), end);
    }
    // The empty print: ends the current line; at the start of a line it gives
    // an empty line.
    void printLine() { print(std::vector<PrintItem>{}, LineEnd::Yes); }

    // The next line's distance from the top of the page, in twips (the top of
    // the current line while texts are still being added to it).
    double verticalPosition() const { return y_; }
    int page() const { return page_; }
    // The line height of the current font, in twips.
    double lineHeight();
    // The average character width of the current font, in twips.
    double columnWidth();

    void newPage();
    // Everything printed since the last end goes to the printer as one
    // document. Nothing printed since: nothing is sent (nullopt).
    std::optional<PrintedDocument> endDocument();
    bool documentOpen() const { return open_; }

    // A screen's image as one page, sent at once as a document of its own; a
    // report under way is not disturbed.
    PrintedDocument printImage(const QImage& image, const std::string& documentName = {});

    // The last document sent, so a screen can say where it went.
    const std::optional<PrintedDocument>& lastDocument() const { return last_; }

    PrintBackend& backend() { return *backend_; }

private:
    struct Measure {
        QFont qfont;
        std::string resolvedFamily;
        std::optional<QFontMetricsF> metrics;
        double avgChar = 0, lineSpacing = 0, ascent = 0;
        double scaleX = 1, scaleY = 1;  // device units to twips
    };
    Measure& measure();
    double advance(const std::string& text);
    void ensureOpen();
    void endLine();
    void breakPage();
    DocumentInfo documentInfo() const;

    std::unique_ptr<PrintBackend> backend_;
    std::optional<std::string> chosen_;
    std::string docName_;
    std::string docPrinter_;          // printer of the document under way
    PrintFont font_;
    std::optional<Measure> measure_;  // of font_ on the current printer

    bool open_ = false;
    int page_ = 1;
    int line_ = 1;
    double x_ = 0, y_ = 0;
    double lineHeight_ = 0;           // tallest font used on the current line
    int gridEnd_ = 1;                 // next free character cell of the line
    bool lineHasText_ = false;
    std::optional<PrintedDocument> last_;
};

}  // namespace platform
