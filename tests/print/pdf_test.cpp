// A real document written to a PDF file, rendered back with poppler and
// checked where the ink is.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/failure.h"
#include "platform/print/pdf_backend.h"
#include "platform/print/print_surface.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

constexpr int kDpi = 100;
constexpr double kMarginPx = 0.5 * kDpi;

class PdfPrint : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::path(::testing::TempDir()) / "velmora-print-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        fs::create_directories(dir / "G");
        drives.set('G', dir / "G");
    }
    void TearDown() override {
        if (!std::getenv("VELMORA_KEEP_TEST_OUTPUT")) fs::remove_all(dir);
    }
    std::unique_ptr<PrintSurface> surface(Date when = {2026, 12, 11, 14, 3, 59}) {
        return std::make_unique<PrintSurface>(std::make_unique<PdfBackend>(drives, [when] { return when; }));
    }
    static std::string run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ": " << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput().toStdString();
    }

    fs::path dir;
    DriveMap drives;
};

struct Cell { int column; std::string text; };

// Columns of ink in the band of rows [top, bottom).
std::vector<bool> inkColumns(const QImage& img, int top, int bottom) {
    std::vector<bool> ink(img.width(), false);
    for (int y = std::max(0, top); y < std::min(img.height(), bottom); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 160) ink[x] = true;
    return ink;
}

int firstInk(const std::vector<bool>& ink, int from, int to) {
    for (int x = std::max(0, from); x < std::min<int>(ink.size(), to); ++x)
        if (ink[x]) return x;
    return -1;
}

int lastInk(const std::vector<bool>& ink, int from, int to) {
    for (int x = std::min<int>(ink.size(), to) - 1; x >= std::max(0, from); --x)
        if (ink[x]) return x;
    return -1;
}

TEST_F(PdfPrint, ColumnsLineUpOnTheRenderedPage) {
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftoppm.isEmpty() || pdftotext.isEmpty())
        GTEST_SKIP() << "pdftoppm/pdftotext (poppler-utils) not installed: the PDF is not rendered and checked";

    auto s = surface();
    s->setDocumentName("Insurance Report");
    s->setFont("Courier New", 10);
    const std::vector<Cell> heads = {{1, "Date"}, {13, "Last Name"}, {28, "First Name"},
                                     {45, "Descriptiion"}, {64, "Amount"}, {76, "Account #"}};
    const std::vector<std::vector<Cell>> rows = {
        {{1, "12/01/2026"}, {13, "Whitaker"}, {28, "Ann Marie"}, {45, "Single Lif"}, {60, "   $120.50"}, {76, "10233"}},
        {{1, "12/03/2026"}, {13, "Oyelaran-Smithe"}, {28, "Jo"}, {45, "A & H"}, {60, " $1,204.00"}, {76, "77"}},
    };
    s->print({"Insurance Report for Torvane Furniture as of 12/11/2026 14:03:59"});
    s->printLine();
    std::vector<PrintItem> line;
    for (const auto& h : heads) line.emplace_back(h.column, h.text);
    s->print(line);
    s->printLine();
    s->printLine();
    for (const auto& r : rows) {
        line.clear();
        for (const auto& c : r) line.emplace_back(c.column, c.text);
        s->print(line);
    }
    const double lineTw = s->lineHeight();
    const double colTw = s->columnWidth();
    auto written = s->endDocument();
    ASSERT_TRUE(written);
    const fs::path pdf = written->file;
    EXPECT_EQ(pdf, dir / "G" / "Printed" / "2026-12-11 14-03-59 Insurance Report.pdf");
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_EQ(s->lastDocument()->file, pdf);

    const fs::path pngBase = dir / "page";
    run(pdftoppm, {"-png", "-r", QString::number(kDpi), "-f", "1", "-l", "1", "-singlefile",
                   QString::fromStdString(pdf.string()), QString::fromStdString(pngBase.string())});
    const fs::path png = pngBase.string() + ".png";
    ASSERT_TRUE(fs::exists(png));
    QImage img(QString::fromStdString(png.string()));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.width(), 850);  // Letter at 100 dpi
    EXPECT_EQ(img.height(), 1100);

    const double pxPerTw = kDpi / 1440.0;
    auto colX = [&](int column) { return kMarginPx + (column - 1) * colTw * pxPerTw; };
    auto band = [&](int lineIndex) {  // 0-based line of the page
        return inkColumns(img, int(kMarginPx + lineIndex * lineTw * pxPerTw),
                          int(kMarginPx + (lineIndex + 1) * lineTw * pxPerTw));
    };
    const int charPx = int(colTw * pxPerTw);  // about 8 pixels

    // Nothing in the left margin or above the first line.
    EXPECT_EQ(firstInk(inkColumns(img, 0, int(kMarginPx) - 2), 0, img.width()), -1);
    EXPECT_EQ(firstInk(band(0), 0, int(kMarginPx) - 2), -1);

    // Each heading starts at its column, with blank paper between headings.
    const auto headInk = band(2);
    int previousEnd = int(kMarginPx);
    for (const auto& h : heads) {
        const int left = int(colX(h.column));
        const int first = firstInk(headInk, left - 2, left + charPx);
        EXPECT_NE(first, -1) << h.text;
        EXPECT_NEAR(first, left, 3) << h.text;
        if (h.column > 1) {
            EXPECT_EQ(firstInk(headInk, previousEnd + 2, left - 2), -1) << "ink before " << h.text;
        }
        previousEnd = int(colX(h.column + int(h.text.size())));
        EXPECT_EQ(firstInk(headInk, previousEnd + 1, previousEnd + 4), -1) << "ink right after " << h.text;
    }
    // The column-76 heading lies wholly to the right of the column-64 one.
    EXPECT_GT(firstInk(headInk, int(colX(76)) - 2, img.width()), lastInk(headInk, 0, int(colX(70)) + 2));

    // Row texts line up under the headings; the amounts end under "Amount".
    const int amountRight = lastInk(headInk, int(colX(64)), int(colX(70)) + 2);
    for (size_t r = 0; r < rows.size(); ++r) {
        const auto rowInk = band(5 + int(r));
        for (const auto& c : rows[r]) {
            const int left = int(colX(c.column));
            if (c.column == 60) {
                EXPECT_NEAR(lastInk(rowInk, left, int(colX(70)) + 2), amountRight, 3) << c.text;
                continue;
            }
            EXPECT_NEAR(firstInk(rowInk, left - 2, left + charPx), left, 3) << c.text;
        }
    }

    // The text reads back in order, each line's texts in column order.
    const std::string text = run(pdftotext, {"-layout", QString::fromStdString(pdf.string()), "-"});
    size_t at = text.find("Insurance Report for Torvane Furniture");
    ASSERT_NE(at, std::string::npos) << text;
    for (const auto& h : heads) {
        size_t next = text.find(h.text, at);
        ASSERT_NE(next, std::string::npos) << h.text << " in\n" << text;
        at = next + h.text.size();
    }
    for (const auto& r : rows)
        for (const auto& c : r) {
            std::string want = c.text.substr(c.text.find_first_not_of(' '));
            size_t next = text.find(want, at);
            ASSERT_NE(next, std::string::npos) << want << " in\n" << text;
            at = next + want.size();
        }
}

TEST_F(PdfPrint, FilesAreNamedByTimeAndReportAndNeverReplaced) {
    auto s = surface();
    std::vector<fs::path> files;
    for (const char* name : {"Insurance Report", "Insurance Report", "CBI Non-Reported/List", ""}) {
        s->setDocumentName(name);
        s->print({"page"});
        files.push_back(s->endDocument()->file);
    }
    const fs::path folder = dir / "G" / "Printed";
    EXPECT_EQ(files, (std::vector<fs::path>{folder / "2026-12-11 14-03-59 Insurance Report.pdf",
                                            folder / "2026-12-11 14-03-59 Insurance Report (2).pdf",
                                            folder / "2026-12-11 14-03-59 CBI Non-Reported-List.pdf",
                                            folder / "2026-12-11 14-03-59 Document.pdf"}));
    for (const auto& f : files) EXPECT_GT(fs::file_size(f), 500u) << f;
    // Only the finished files are left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4);

    QImage screen(640, 480, QImage::Format_RGB32);
    screen.fill(Qt::darkBlue);
    PrintedDocument d = s->printImage(screen, "Info Page 1");
    EXPECT_EQ(d.file, folder / "2026-12-11 14-03-59 Info Page 1.pdf");
    EXPECT_TRUE(fs::exists(d.file));

    // Nothing printed: no file.
    EXPECT_FALSE(s->endDocument().has_value());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 5);

    // A report left unended when the program closes still comes out.
    s->setDocumentName("Unended");
    s->print({"last words"});
    s.reset();
    EXPECT_TRUE(fs::exists(folder / "2026-12-11 14-03-59 Unended.pdf"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 6);
}

TEST_F(PdfPrint, NoLocalDriveIsAPathFailure) {
    DriveMap none;
    PrintSurface s(std::make_unique<PdfBackend>(none));
    try {
        s.print({"x"});
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 76);
    }
    EXPECT_FALSE(s.documentOpen());
}

TEST_F(PdfPrint, FactoryWritesPdfWhenNoPrinterIsInstalled) {
    auto backend = createPrintBackend(drives);
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) {
        EXPECT_FALSE(backend->printers().empty());
        GTEST_SKIP() << "this machine has printers; the PDF fallback is not reached";
    }
    EXPECT_TRUE(backend->printers().empty());
    PrintSurface s(std::move(backend));
    EXPECT_EQ(s.currentPrinter(), "");
    s.setDocumentName("Insurance Report");
    s.print({"x"});
    auto d = s.endDocument();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->file.parent_path(), dir / "G" / "Printed");
    EXPECT_TRUE(fs::exists(d->file));
}

}  // namespace
