#include "platform/print/pdf_backend.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include <unistd.h>

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>

#include "platform/failure.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

constexpr const char* kShownFolder = "G:Printed";

Date hostNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// A report name as a file name: no separators or control characters, and
// not so long that the name would be refused.
std::string safeReportName(const std::string& report) {
    std::string out;
    for (unsigned char c : report) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':') out += '-';
        else out += static_cast<char>(c);
    }
    while (!out.empty() && (out.front() == ' ' || out.front() == '.')) out.erase(out.begin());
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.size() > 120) {
        out.resize(120);
        while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
        if (!out.empty() && (static_cast<unsigned char>(out.back()) & 0x80)) out.pop_back();
    }
    return out.empty() ? std::string("Document") : out;
}

Failure printerError(const std::string& what) { return Failure(482, "Printer error: " + what, kShownFolder); }

}  // namespace

struct PdfBackend::Job {
    std::string name;
    fs::path temp;
    std::unique_ptr<QPdfWriter> writer;
    std::unique_ptr<QPainter> painter;
    int pages = 1;
};

PdfBackend::PdfBackend(DriveMap drives, PrintClock clock) : drives_(std::move(drives)), clock_(std::move(clock)) {
    if (!clock_) clock_ = hostNow;
}

PdfBackend::~PdfBackend() {
    // A document never ended is not sent; its partial file goes.
    if (job_) {
        if (job_->painter && job_->painter->isActive()) job_->painter->end();
        std::error_code ec;
        fs::remove(job_->temp, ec);
    }
}

const QPaintDevice& PdfBackend::measureDevice(const std::string&) { return twipsReferenceDevice(); }

fs::path PdfBackend::folder() const {
    auto root = drives_.root('G');
    if (!root) throw pathNotFound(kShownFolder);
    return *root / "Printed";
}

std::string PdfBackend::fileName(const Date& w, const std::string& report) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d-%02d-%02d", w.year, w.month, w.day, w.hour, w.minute,
                  w.second);
    return std::string(stamp) + " " + safeReportName(report) + ".pdf";
}

std::unique_ptr<PdfBackend::Job> PdfBackend::startJob(const DocumentInfo& info) {
    fs::path dir = folder();
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) throw fromErrno(ec.value(), kShownFolder);

    auto job = std::make_unique<Job>();
    job->name = info.name;
    std::string pattern = (dir / ".printing-XXXXXX.pdf").string();
    int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) throw fromErrno(errno, kShownFolder);
    ::close(fd);
    job->temp = pattern;

    job->writer = std::make_unique<QPdfWriter>(QString::fromStdString(job->temp.string()));
    // Device units of 1/1440 inch: the surface's twips draw as they are.
    job->writer->setResolution(static_cast<int>(kTwipsPerInch));
    job->writer->setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                           QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch));
    job->writer->setTitle(QString::fromStdString(info.name));
    job->writer->setCreator(QStringLiteral("Velmora"));
    job->painter = std::make_unique<QPainter>();
    if (!job->painter->begin(job->writer.get())) {
        fs::remove(job->temp, ec);
        throw printerError("cannot write the PDF file");
    }
    return job;
}

fs::path PdfBackend::finish(Job& job) {
    try {
        return claimName(job);
    } catch (...) {
        // A document that got no name leaves no temporary file behind.
        std::error_code ec;
        fs::remove(job.temp, ec);
        throw;
    }
}

fs::path PdfBackend::claimName(Job& job) {
    job.painter->end();
    job.writer.reset();
    fs::path dir = job.temp.parent_path();
    std::string base = fileName(clock_(), job.name);
    std::string stem = base.substr(0, base.size() - 4);
    // Another document of the same second, here or from another workstation,
    // keeps its file: the name is claimed with a hard link, which fails
    // rather than replace.
    for (int n = 1; n < 10000; ++n) {
        fs::path target = dir / (n == 1 ? base : stem + " (" + std::to_string(n) + ").pdf");
        if (::link(job.temp.c_str(), target.c_str()) == 0) {
            ::unlink(job.temp.c_str());
            return target;
        }
        if (errno == EEXIST) continue;
        // A file system without hard links: take the first free name.
        std::error_code ec;
        if (fs::exists(target, ec)) continue;
        fs::rename(job.temp, target, ec);
        if (ec) throw fromErrno(ec.value(), kShownFolder);
        return target;
    }
    throw printerError("no free file name");
}

void PdfBackend::beginDocument(const DocumentInfo& info) {
    if (job_) throw std::logic_error("a document is already under way");
    job_ = startJob(info);
}

void PdfBackend::drawText(const PrintedText& t) {
    if (!job_) throw std::logic_error("no document under way");
    if (t.text.empty()) return;
    job_->painter->setFont(t.qfont);
    job_->painter->drawText(QPointF(t.x, t.baseline), QString::fromUtf8(t.text));
}

void PdfBackend::newPage() {
    if (!job_) throw std::logic_error("no document under way");
    job_->writer->newPage();
    ++job_->pages;
}

PrintedDocument PdfBackend::endDocument() {
    if (!job_) throw std::logic_error("no document under way");
    std::unique_ptr<Job> job = std::move(job_);
    fs::path file = finish(*job);
    return PrintedDocument{{}, job->name, file, job->pages};
}

PrintedDocument PdfBackend::printImage(const DocumentInfo& info, const QImage& image) {
    std::unique_ptr<Job> job = startJob(info);
    job->painter->setRenderHint(QPainter::SmoothPixmapTransform);
    job->painter->drawImage(screenImageRect(image), image);
    fs::path file = finish(*job);
    return PrintedDocument{{}, job->name, file, 1};
}

}  // namespace platform
