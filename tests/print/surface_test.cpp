#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QFontInfo>
#include <QImage>

#include "platform/failure.h"
#include "platform/print/fonts.h"
#include "platform/print/print_surface.h"
#include "platform/print/recording_backend.h"

using namespace platform;
using LineEnd = PrintSurface::LineEnd;

namespace {

class Recorded : public ::testing::Test {
protected:
    explicit Recorded(std::vector<std::string> printers = {"Okidata", "okidata", "HP LaserJet"}) {
        auto b = std::make_unique<RecordingBackend>(std::move(printers));
        rec = b.get();
        surface = std::make_unique<PrintSurface>(std::move(b));
        surface->setFont("Courier New", 10);
    }
    const RecordedDocument& doc(size_t i = 0) const { return rec->documents().at(i); }

    RecordingBackend* rec;
    std::unique_ptr<PrintSurface> surface;
};

TEST(Fonts, MapsTheReportFontsToLiberation) {
    struct Case { const char* name; const char* family; };
    for (const Case& c : std::vector<Case>{{"Courier New", "Liberation Mono"},
                                           {"courier new", "Liberation Mono"},
                                           {"times new roman", "Liberation Serif"},
                                           {"Times New Roman", "Liberation Serif"},
                                           {"MS Sans Serif", "Liberation Sans"},
                                           {"ARIAL", "Liberation Sans"},
                                           {"", "Liberation Sans"},
                                           {" Courier New ", "Liberation Mono"}}) {
        EXPECT_EQ(mapFontFamily(c.name), c.family) << c.name;
        // The font system must really give the Liberation face, or columns drift.
        QFont f = printerFont(c.name, 10, true);
        EXPECT_EQ(QFontInfo(f).family().toStdString(), c.family) << c.name;
        EXPECT_TRUE(QFontInfo(f).bold()) << c.name;
    }
    EXPECT_EQ(mapFontFamily("Liberation Mono"), "Liberation Mono");
    EXPECT_EQ(mapFontFamily("Wingdings"), "Wingdings");
}

TEST_F(Recorded, ColumnsFollowOnAndTheColumnRule) {
    surface->print({{1, "Date"}, {13, "Last Name"}, {28, "First"}});
    surface->print({"ab", "cd", {5, "X"}});             // follow on, then a column not yet reached
    surface->print({{1, "0123456789"}, {5, "past"}});   // column 5 already passed: next line
    surface->print({{1, "12345678901234567890"}, {21, "exact"}});  // ends right at column 21
    surface->print({"no end "}, LineEnd::No);
    surface->print({"same line"});
    surface->endDocument();

    EXPECT_EQ(doc().lines(), (std::vector<std::string>{
                                 "Date        Last Name      First",
                                 "abcdX",
                                 "0123456789",
                                 "    past",
                                 "12345678901234567890exact",
                                 "no end same line",
                             }));
    const auto& items = doc().items;
    ASSERT_EQ(items.size(), 12u);
    EXPECT_EQ(items[1].column, 13);
    EXPECT_FALSE(items[4].column.has_value());
    // The passed column went to the next line, at column 5.
    EXPECT_EQ(items[7].line, 4);
    EXPECT_NEAR(items[7].x, 4 * surface->columnWidth(), 0.01);
    EXPECT_EQ(items[9].line, 5);  // "exact" stays on its line
}

TEST_F(Recorded, EmptyPrintAtLineStartAndAfterText) {
    surface->printLine();                      // empty line at the start
    surface->print({"a"}, LineEnd::No);
    surface->printLine();                      // ends the line of "a", no empty line
    surface->print({"b"});
    surface->printLine();
    surface->printLine();
    surface->print({"c"});
    surface->endDocument();
    EXPECT_EQ(doc().lines(), (std::vector<std::string>{"", "a", "b", "", "", "c"}));
}

TEST_F(Recorded, VerticalPositionGrowsByTheFontsLineHeight) {
    const double h = surface->lineHeight();
    EXPECT_NEAR(h, 226, 2);  // Courier New 10 point
    EXPECT_EQ(surface->verticalPosition(), 0);
    surface->print({"first"});
    EXPECT_NEAR(surface->verticalPosition(), h, 1e-6);
    surface->printLine();
    EXPECT_NEAR(surface->verticalPosition(), 2 * h, 1e-6);
    surface->print({"x"}, LineEnd::No);
    EXPECT_NEAR(surface->verticalPosition(), 2 * h, 1e-6);  // still on the line
    surface->printLine();

    // A bigger font makes taller lines; each item keeps its own font.
    surface->setFont("times new roman", 10, true);
    const double bold10 = surface->lineHeight();
    surface->print({"Heading"});
    surface->setFont("times new roman", 9, false);
    EXPECT_LT(surface->lineHeight(), bold10);
    surface->print({"body"});
    EXPECT_NEAR(surface->verticalPosition(), 3 * h + bold10 + surface->lineHeight(), 1e-6);
    surface->endDocument();

    const auto& it = doc().items;
    EXPECT_EQ(it[0].y, 0);
    EXPECT_NEAR(it[2].y, 3 * h, 1e-6);
    EXPECT_EQ(it[0].font, (PrintFont{"Courier New", 10, false}));
    EXPECT_EQ(it[0].resolvedFamily, "Liberation Mono");
    EXPECT_EQ(it[2].font, (PrintFont{"times new roman", 10, true}));
    EXPECT_EQ(it[3].font, (PrintFont{"times new roman", 9, false}));
    EXPECT_EQ(it[3].resolvedFamily, "Liberation Serif");
}

TEST_F(Recorded, ReportPageBreakBeyond14000Twips) {
    // The report's own rule: a new page with its heading once past 14000.
    int lines = 0;
    for (int row = 0; surface->page() == 1; ++row) {
        if (surface->verticalPosition() > 14000) {
            surface->newPage();
            surface->print({"HEADING"});
            break;
        }
        surface->print({{1, "row " + std::to_string(row)}});
        ++lines;
    }
    EXPECT_GE(lines, 60);
    EXPECT_LE(lines, 64);
    EXPECT_EQ(surface->page(), 2);
    EXPECT_NEAR(surface->verticalPosition(), surface->lineHeight(), 1e-6);
    surface->endDocument();
    EXPECT_EQ(doc().pages, 2);
    EXPECT_EQ(doc().pageLines(2), (std::vector<std::string>{"HEADING"}));
    EXPECT_EQ(doc().items.back().page, 2);
    EXPECT_EQ(doc().items.back().line, 1);
    EXPECT_EQ(doc().items.back().y, 0);
}

TEST_F(Recorded, LinesPastThePaperGoOnANewPage) {
    // A caller that never breaks (a totals block) still loses nothing.
    for (int i = 1; i <= 70; ++i) surface->print({std::to_string(i)});
    surface->endDocument();
    ASSERT_EQ(doc().pages, 2);
    auto p1 = doc().pageLines(1);
    auto p2 = doc().pageLines(2);
    EXPECT_EQ(p1.size() + p2.size(), 70u);
    EXPECT_EQ(p2.front(), std::to_string(p1.size() + 1));
    for (const auto& it : doc().items) EXPECT_LE(it.y + surface->lineHeight(), 14400 + 1e-6);
}

TEST_F(Recorded, EndDocumentSeparatesDocuments) {
    EXPECT_FALSE(surface->endDocument().has_value());  // nothing printed, nothing sent
    EXPECT_TRUE(rec->documents().empty());

    surface->setDocumentName("Insurance Report");
    surface->print({"one"});
    surface->newPage();
    surface->print({"two"});
    auto first = surface->endDocument();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, "Insurance Report");
    EXPECT_EQ(first->pages, 2);
    EXPECT_EQ(surface->verticalPosition(), 0);
    EXPECT_EQ(surface->page(), 1);

    surface->print({"three"});
    surface->endDocument();
    ASSERT_EQ(rec->documents().size(), 2u);
    EXPECT_EQ(doc(0).text(), "one\n\f\ntwo");
    EXPECT_EQ(doc(1).text(), "three");
    EXPECT_EQ(doc(1).name, "Document");  // each report names its own
    EXPECT_EQ(doc(1).items[0].page, 1);
    EXPECT_EQ(doc(1).items[0].y, 0);
}

TEST_F(Recorded, ChoosePrinterExactAndCaseSensitive) {
    EXPECT_EQ(surface->printers(), (std::vector<std::string>{"Okidata", "okidata", "HP LaserJet"}));
    EXPECT_EQ(surface->currentPrinter(), "Okidata");  // the system's default until chosen
    EXPECT_FALSE(surface->printerChosen());

    EXPECT_TRUE(surface->choosePrinter("okidata"));
    EXPECT_EQ(surface->currentPrinter(), "okidata");
    for (const char* miss : {"OKIDATA", "Okidata ", "HP", ""}) {
        EXPECT_FALSE(surface->choosePrinter(miss)) << miss;
        EXPECT_EQ(surface->currentPrinter(), "okidata") << miss;
    }
    surface->print({"x"});
    surface->endDocument();
    EXPECT_TRUE(surface->choosePrinter("Okidata"));
    surface->print({"y"});
    surface->endDocument();
    EXPECT_EQ(doc(0).printer, "okidata");
    EXPECT_EQ(doc(1).printer, "Okidata");
}

TEST(RecordedNoPrinter, NoPrinterInstalled) {
    PrintSurface s(std::make_unique<RecordingBackend>());
    EXPECT_TRUE(s.printers().empty());
    EXPECT_EQ(s.currentPrinter(), "");
    EXPECT_FALSE(s.choosePrinter("Okidata"));
    EXPECT_EQ(s.currentPrinter(), "");
}

TEST_F(Recorded, ScreenImageIsItsOwnDocument) {
    surface->print({"report under way"});
    QImage screen(640, 480, QImage::Format_RGB32);
    screen.fill(Qt::gray);
    PrintedDocument d = surface->printImage(screen, "Info Page 1");
    EXPECT_EQ(d.pages, 1);
    surface->print({"still the report"});
    surface->endDocument();
    ASSERT_EQ(rec->documents().size(), 2u);
    EXPECT_EQ(doc(0).name, "Info Page 1");
    EXPECT_EQ(doc(0).image, QSize(640, 480));
    EXPECT_EQ(doc(1).text(), "report under way\nstill the report");
}

TEST_F(Recorded, BadFontSizeIsRefused) {
    for (double pts : {0.0, -1.0, 5000.0}) {
        try {
            surface->setFont("Courier New", pts);
            FAIL() << pts;
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), 380);
        }
    }
    EXPECT_EQ(surface->font(), (PrintFont{"Courier New", 10, false}));
}

}  // namespace
