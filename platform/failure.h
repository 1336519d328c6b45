#pragma once
// A failure as the program reports it: the platform's error number and its
// description, plus the program path of the file concerned (never a host path).
#include <stdexcept>
#include <string>

namespace platform {

class Failure : public std::runtime_error {
public:
    Failure(int number, std::string description, std::string file = {});
    int number() const { return number_; }
    const std::string& description() const { return description_; }
    const std::string& file() const { return file_; }

private:
    int number_;
    std::string description_;
    std::string file_;
};

// The common file-system failures, in the platform's wording.
Failure fileNotFound(const std::string& file);        // 53
Failure pathNotFound(const std::string& file);        // 76
Failure permissionDenied(const std::string& file);    // 70
Failure badFileName(const std::string& file);         // 64
Failure inputPastEnd(const std::string& file);        // 62
Failure fileAccessError(const std::string& file);     // 75
Failure typeMismatch();                               // 13
Failure overflowError();                              // 6

// Maps an errno value from a host call on `file` to the platform failure.
Failure fromErrno(int err, const std::string& file);

}  // namespace platform
