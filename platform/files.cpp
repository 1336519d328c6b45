#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "platform/codepage.h"
#include "platform/failure.h"

namespace fs = std::filesystem;

namespace platform {

namespace {
std::string tempName(const fs::path& target) {
    static std::mt19937_64 rng{std::random_device{}()};
    char buf[32];
    std::snprintf(buf, sizeof buf, ".%016llx.tmp", static_cast<unsigned long long>(rng()));
    return "." + target.filename().string() + buf;
}

void writeAll(int fd, std::string_view bytes, const std::string& shown) {
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (w < 0) {
            if (errno == EINTR) continue;
            throw fromErrno(errno, shown);
        }
        off += static_cast<size_t>(w);
    }
}

// A replacement keeps the permissions of the file it replaces (or, for a
// copy, of its source) rather than taking the defaults.
void keepMode(int fd, const fs::path& target, const fs::path* source) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 || (source && ::stat(source->c_str(), &st) == 0))
        ::fchmod(fd, st.st_mode & 07777);
}

std::string readHostFile(const fs::path& p, const std::string& shown) {
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fromErrno(errno, shown);
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            ::close(fd);
            throw fromErrno(e, shown);
        }
        if (r == 0) break;
        out.append(buf, static_cast<size_t>(r));
    }
    ::close(fd);
    return out;
}
}  // namespace

void syncDirectory(const fs::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void atomicWriteFile(const fs::path& target, std::string_view bytes, const std::string& shown) {
    fs::path dir = target.parent_path();
    fs::path tmp = dir / tempName(target);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) throw fromErrno(errno, shown);
    try {
        keepMode(fd, target, nullptr);
        writeAll(fd, bytes, shown);
        if (::fsync(fd) != 0) throw fromErrno(errno, shown);
    } catch (...) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    ::close(fd);
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        throw fromErrno(e, shown);
    }
    syncDirectory(dir);
}

void atomicCopyFile(const fs::path& from, const fs::path& to, const std::string& shownFrom, const std::string& shownTo) {
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) throw fileNotFound(shownFrom);
    fs::path dir = to.parent_path();
    fs::path tmp = dir / tempName(to);
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throw fromErrno(errno, shownFrom);
    int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        int e = errno;
        ::close(in);
        throw fromErrno(e, shownTo);
    }
    try {
        keepMode(out, to, &from);
        char buf[1 << 16];
        for (;;) {
            ssize_t r = ::read(in, buf, sizeof buf);
            if (r < 0) {
                if (errno == EINTR) continue;
                throw fromErrno(errno, shownFrom);
            }
            if (r == 0) break;
            writeAll(out, std::string_view(buf, static_cast<size_t>(r)), shownTo);
        }
        if (::fsync(out) != 0) throw fromErrno(errno, shownTo);
    } catch (...) {
        ::close(in);
        ::close(out);
        ::unlink(tmp.c_str());
        throw;
    }
    ::close(in);
    ::close(out);
    if (::rename(tmp.c_str(), to.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        throw fromErrno(e, shownTo);
    }
    syncDirectory(dir);
}

fs::path inUseLockPath(const fs::path& file) {
    return file.parent_path() / ("." + file.filename().string() + ".lock");
}

namespace {
// Holds the in-use lock of a file exclusively for the life of the object, so
// that no database user opens the file while it is replaced or deleted.
class ExclusiveUse {
public:
    ExclusiveUse(const fs::path& file, const std::string& shown) {
        fs::path lock = inUseLockPath(file);
        fd_ = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0) return;  // never opened by the engine
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0;
        fl.l_len = 1;
        int rc;
        while ((rc = ::fcntl(fd_, F_OFD_SETLK, &fl)) != 0 && errno == EINTR) {}
        if (rc != 0) {
            ::close(fd_);
            throw permissionDenied(shown);
        }
    }
    ~ExclusiveUse() {
        if (fd_ >= 0) ::close(fd_);
    }
    ExclusiveUse(const ExclusiveUse&) = delete;
    ExclusiveUse& operator=(const ExclusiveUse&) = delete;

private:
    int fd_ = -1;
};
}  // namespace

// ---- TextInput

void TextInput::requireOpen() const {
    if (!open_) throw Failure(52, "Bad file name or number", shown_);
}

bool TextInput::atEnd() const { return pos_ >= text_.size(); }

void TextInput::close() { open_ = false; }

std::string TextInput::readLine() {
    requireOpen();
    if (atEnd()) throw inputPastEnd(shown_);
    size_t e = text_.find_first_of("\r\n", pos_);
    std::string line = text_.substr(pos_, e == std::string::npos ? std::string::npos : e - pos_);
    if (e == std::string::npos) pos_ = text_.size();
    else {
        pos_ = e + 1;
        if (text_[e] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    }
    return line;
}

std::string TextInput::readField() {
    requireOpen();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (pos_ < text_.size() && blank(text_[pos_])) ++pos_;
    if (atEnd()) throw inputPastEnd(shown_);
    std::string field;
    if (text_[pos_] == '"') {
        size_t close = text_.find('"', pos_ + 1);
        if (close == std::string::npos) {
            field = text_.substr(pos_ + 1);
            pos_ = text_.size();
            return field;
        }
        field = text_.substr(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        // Whatever follows up to the delimiter is skipped.
        while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
    } else {
        size_t e = text_.find_first_of(",\r\n", pos_);
        field = text_.substr(pos_, e == std::string::npos ? std::string::npos : e - pos_);
        pos_ = e == std::string::npos ? text_.size() : e;
        while (!field.empty() && blank(field.back())) field.pop_back();
    }
    if (pos_ < text_.size()) {
        char d = text_[pos_++];
        if (d == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    }
    return field;
}

// ---- TextOutput

void TextOutput::writeLine(std::string_view line) {
    if (!open_) throw Failure(52, "Bad file name or number", shown_);
    buffer_.append(line);
    buffer_ += "\r\n";
}

void TextOutput::write(std::string_view text) {
    if (!open_) throw Failure(52, "Bad file name or number", shown_);
    buffer_.append(text);
}

void TextOutput::close() {
    if (!open_) return;
    open_ = false;
    atomicWriteFile(host_, utf8ToCp1252(buffer_), shown_);
    buffer_.clear();
}

void TextOutput::discard() {
    open_ = false;
    buffer_.clear();
}

TextOutput::~TextOutput() {
    // A file still open when dropped is written, as the platform closed files
    // at the end; a failure then cannot be reported and leaves the old file.
    // Dropped while a failure unwinds the routine that wrote it, the content is
    // unfinished: the old file stays instead.
    if (std::uncaught_exceptions() > 0) {
        discard();
        return;
    }
    try {
        close();
    } catch (...) {
    }
}

// ---- FileChannels

void FileChannels::prune() {
    std::erase_if(inputs_, [](const auto& w) { auto p = w.lock(); return !p || !p->isOpen(); });
    std::erase_if(outputs_, [](const auto& w) { auto p = w.lock(); return !p || !p->isOpen(); });
}

std::shared_ptr<TextInput> FileChannels::openInput(std::string_view programPath) {
    ProgramPath pp = DriveMap::parse(programPath);
    std::string shown = pp.text();
    fs::path host = drives_.resolve(pp);
    std::error_code ec;
    if (!fs::exists(host, ec)) throw fileNotFound(shown);
    if (fs::is_directory(host, ec)) throw fileAccessError(shown);
    auto in = std::shared_ptr<TextInput>(new TextInput(shown, cp1252ToUtf8(readHostFile(host, shown))));
    prune();
    inputs_.push_back(in);
    return in;
}

std::shared_ptr<TextOutput> FileChannels::openOutput(std::string_view programPath) {
    ProgramPath pp = DriveMap::parse(programPath);
    std::string shown = pp.text();
    fs::path host = drives_.resolve(pp);
    std::error_code ec;
    if (fs::is_directory(host, ec)) throw fileAccessError(shown);
    if (::access(host.parent_path().c_str(), W_OK) != 0) throw fromErrno(errno, shown);
    auto out = std::shared_ptr<TextOutput>(new TextOutput(shown, host));
    prune();
    outputs_.push_back(out);
    return out;
}

void FileChannels::closeAll() {
    for (auto& w : inputs_)
        if (auto p = w.lock()) p->close();
    std::vector<std::weak_ptr<TextOutput>> outs;
    outs.swap(outputs_);
    inputs_.clear();
    Failure* first = nullptr;
    std::unique_ptr<Failure> keep;
    for (auto& w : outs) {
        if (auto p = w.lock()) {
            try {
                p->close();
            } catch (const Failure& f) {
                if (!first) { keep = std::make_unique<Failure>(f); first = keep.get(); }
            }
        }
    }
    if (first) throw *first;
}

size_t FileChannels::openCount() const {
    size_t n = 0;
    for (auto& w : inputs_)
        if (auto p = w.lock(); p && p->isOpen()) ++n;
    for (auto& w : outputs_)
        if (auto p = w.lock(); p && p->isOpen()) ++n;
    return n;
}

bool FileChannels::exists(std::string_view programPath) const {
    if (!drives_.exists(programPath)) return false;
    std::error_code ec;
    return fs::is_regular_file(drives_.resolve(programPath), ec);
}

void FileChannels::remove(std::string_view programPath) {
    ProgramPath pp = DriveMap::parse(programPath);
    fs::path host = drives_.resolve(pp);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(host, ec))) throw fileNotFound(pp.text());
    ExclusiveUse use(host, pp.text());
    if (::unlink(host.c_str()) != 0) throw fromErrno(errno, pp.text());
}

void FileChannels::copy(std::string_view from, std::string_view to) {
    ProgramPath a = DriveMap::parse(from), b = DriveMap::parse(to);
    fs::path src = drives_.resolve(a), dst = drives_.resolve(b);
    std::error_code ec;
    if (!fs::is_regular_file(src, ec)) throw fileNotFound(a.text());
    ExclusiveUse use(dst, b.text());
    // A database in use is not copied either: the copy would not be
    // consistent, and closing the descriptor read from would drop this
    // process's library locks on the file.
    std::optional<ExclusiveUse> source;
    if (!fs::equivalent(src, dst, ec)) source.emplace(src, a.text());
    atomicCopyFile(src, dst, a.text(), b.text());
}

}  // namespace platform
