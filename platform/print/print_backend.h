#pragma once
// What the print surface needs of a printer: the installed printers, a device
// to measure fonts on, and a document drawn as positioned texts in twips
// (1440 per inch) from the top-left corner of the printable area.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QFont>
#include <QRectF>

#include "platform/dates.h"
#include "platform/drives.h"

class QImage;
class QPaintDevice;

namespace platform {

// Letter paper with half-inch margins on every side: the printable area.
inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kPrintableWidthTwips = 7.5 * kTwipsPerInch;
inline constexpr double kPrintableHeightTwips = 10.0 * kTwipsPerInch;

struct PrintFont {
    std::string name = "Courier New";  // as the caller named it
    double points = 10;
    bool bold = false;
    bool operator==(const PrintFont&) const = default;
};

// One text as the surface placed it.
struct PrintedText {
    std::string text;                // UTF-8
    std::optional<int> column;       // the column asked for, if any
    int gridColumn = 1;              // where it starts in a character grid of the line
    double x = 0;                    // left edge, twips
    double y = 0;                    // top of its line, twips (the vertical position)
    double baseline = 0;             // twips
    int line = 1;                    // line of the page, from 1
    int page = 1;                    // page of the document, from 1
    PrintFont font;
    QFont qfont;                     // the mapped font to draw with
    std::string resolvedFamily;      // the family the font system gave for it
};

struct DocumentInfo {
    std::string printer;             // device name; empty when none is installed
    std::string name;                // the report's name, e.g. "Insurance Report"
};

// What became of an ended document.
struct PrintedDocument {
    std::string printer;             // device it went to; empty for a file
    std::string name;
    std::filesystem::path file;      // host path of the PDF written instead, if any
    int pages = 0;
};

class PrintBackend {
public:
    virtual ~PrintBackend() = default;

    // Device names of the installed printers, in the system's order.
    virtual std::vector<std::string> printers() const = 0;
    // The system's default printer; empty when none is installed.
    virtual std::string defaultPrinter() const = 0;

    // The device whose resolution fonts are measured on for that printer.
    virtual const QPaintDevice& measureDevice(const std::string& printer) = 0;

    virtual void beginDocument(const DocumentInfo& info) = 0;
    virtual void drawText(const PrintedText& item) = 0;
    virtual void newPage() = 0;
    virtual PrintedDocument endDocument() = 0;

    // A picture as one page of a document of its own, sent at once.
    virtual PrintedDocument printImage(const DocumentInfo& info, const QImage& image) = 0;
};

// A 1440-dpi device: fonts measured on it give twips directly.
const QPaintDevice& twipsReferenceDevice();

// Where a screen's image goes on its page, in twips of the printable area: at
// the size it shows on the display (15 twips a pixel), made smaller only if
// it would not fit, centred across the page at the top.
QRectF screenImageRect(const QImage& image);

// The local clock used to name PDF files; the host's local time by default.
using PrintClock = std::function<Date()>;

// The system's printers when it lists any, otherwise PDF files in the print
// folder of the local drive.
std::unique_ptr<PrintBackend> createPrintBackend(const DriveMap& drives, PrintClock clock = {});

}  // namespace platform
