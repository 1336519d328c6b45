#include "platform/print/recording_backend.h"

#include <algorithm>
#include <stdexcept>

#include <QImage>
#include <QString>

namespace platform {

RecordingBackend::RecordingBackend(std::vector<std::string> printers) : printers_(std::move(printers)) {}

const QPaintDevice& RecordingBackend::measureDevice(const std::string&) { return twipsReferenceDevice(); }

RecordedDocument& RecordingBackend::open() {
    if (docs_.empty() || docs_.back().ended) throw std::logic_error("no document under way");
    return docs_.back();
}

void RecordingBackend::beginDocument(const DocumentInfo& info) {
    RecordedDocument d;
    d.printer = info.printer;
    d.name = info.name;
    docs_.push_back(std::move(d));
}

void RecordingBackend::drawText(const PrintedText& t) {
    open().items.push_back(RecordedItem{t.text, t.column, t.gridColumn, t.x, t.y, t.line, t.page, t.font,
                                        t.resolvedFamily});
}

void RecordingBackend::newPage() { ++open().pages; }

PrintedDocument RecordingBackend::endDocument() {
    RecordedDocument& d = open();
    d.ended = true;
    return PrintedDocument{d.printer, d.name, {}, d.pages};
}

PrintedDocument RecordingBackend::printImage(const DocumentInfo& info, const QImage& image) {
    RecordedDocument d;
    d.printer = info.printer;
    d.name = info.name;
    d.image = image.size();
    d.ended = true;
    // Keep a report under way as the last document.
    auto at = (!docs_.empty() && !docs_.back().ended) ? docs_.end() - 1 : docs_.end();
    docs_.insert(at, d);
    return PrintedDocument{d.printer, d.name, {}, 1};
}

std::vector<RecordedDocument> RecordingBackend::endedDocuments() const {
    std::vector<RecordedDocument> out;
    for (const auto& d : docs_)
        if (d.ended) out.push_back(d);
    return out;
}

std::string RecordingBackend::allText() const {
    std::string out;
    for (const auto& d : docs_) {
        if (!out.empty()) out += "\n";
        out += d.text();
    }
    return out;
}

std::vector<std::string> RecordedDocument::pageLines(int page) const {
    std::vector<QString> grid;
    for (const auto& it : items) {
        if (it.page != page) continue;
        if (static_cast<int>(grid.size()) < it.line) grid.resize(it.line);
        QString& row = grid[it.line - 1];
        int start = it.gridColumn - 1;
        if (row.size() < start) row += QString(start - row.size(), QChar(' '));
        QString text = QString::fromUtf8(it.text);
        row = row.left(start) + text + row.mid(start + text.size());
    }
    std::vector<std::string> out;
    out.reserve(grid.size());
    for (QString& row : grid) {
        while (row.endsWith(QChar(' '))) row.chop(1);
        out.push_back(row.toStdString());
    }
    return out;
}

std::vector<std::string> RecordedDocument::lines() const {
    std::vector<std::string> out;
    for (int p = 1; p <= pages; ++p) {
        if (p > 1) out.push_back("\f");
        auto pl = pageLines(p);
        out.insert(out.end(), pl.begin(), pl.end());
    }
    return out;
}

std::string RecordedDocument::text() const {
    std::string out;
    bool first = true;
    for (const auto& l : lines()) {
        if (!first) out += "\n";
        out += l;
        first = false;
    }
    return out;
}

}  // namespace platform
