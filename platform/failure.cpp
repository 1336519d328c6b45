#include "platform/failure.h"

#include <cerrno>

namespace platform {

static std::string composeWhat(int number, const std::string& description, const std::string& file) {
    std::string w = "Error " + std::to_string(number) + ": " + description;
    if (!file.empty() && description.find(file) == std::string::npos) w += " (" + file + ")";
    return w;
}

Failure::Failure(int number, std::string description, std::string file)
    : std::runtime_error(composeWhat(number, description, file)),
      number_(number),
      description_(std::move(description)),
      file_(std::move(file)) {}

Failure fileNotFound(const std::string& f) { return Failure(53, "File not found", f); }
Failure pathNotFound(const std::string& f) { return Failure(76, "Path not found", f); }
Failure permissionDenied(const std::string& f) { return Failure(70, "Permission denied", f); }
Failure badFileName(const std::string& f) { return Failure(64, "Bad file name", f); }
Failure inputPastEnd(const std::string& f) { return Failure(62, "Input past end of file", f); }
Failure fileAccessError(const std::string& f) { return Failure(75, "Path/File access error", f); }
Failure typeMismatch() { return Failure(13, "Type mismatch"); }
Failure overflowError() { return Failure(6, "Overflow"); }

Failure fromErrno(int err, const std::string& f) {
    switch (err) {
        case ENOENT: return fileNotFound(f);
        case ENOTDIR: return pathNotFound(f);
        case EACCES:
        case EPERM:
        case EROFS: return permissionDenied(f);
        case ENOSPC: return Failure(61, "Disk full", f);
        case ENAMETOOLONG: return badFileName(f);
        default: return fileAccessError(f);
    }
}

}  // namespace platform
