#pragma once
// Plain text files in the workstation's code page with CR LF line ends, the
// open-file registry behind "close every open file", and the file operations
// of the file-system scripting object (exists, copy over) and of the platform
// (delete). A written or copied file never appears half-written: the content
// goes to a file beside the target, is flushed to disk and renamed over it.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drives.h"

namespace platform {

// Writes `bytes` to `target` atomically (temporary file beside it, fsync,
// rename, fsync of the directory). `shown` names the file in failures.
void atomicWriteFile(const std::filesystem::path& target, std::string_view bytes, const std::string& shown);
void atomicCopyFile(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& shownFrom,
                    const std::string& shownTo);
void syncDirectory(const std::filesystem::path& dir);

// The lock file beside a file that the database engine has open
// (".<name>.lock"): every open handle holds its first byte shared. Copying
// over or deleting such a file waits for nobody: it fails with 70 while the
// byte is held, instead of leaving the other users writing to a lost file.
std::filesystem::path inUseLockPath(const std::filesystem::path& file);

class FileChannels;

// A text file opened for reading; its content is read at open.
class TextInput {
public:
    // Sequential-text form: commas and line ends end a field; blanks before and
    // after a field are skipped; a field that begins with a double quote runs to
    // the closing quote. Past the end: failure 62.
    std::string readField();
    // One whole line without its line end (failure 62 at the end).
    std::string readLine();
    bool atEnd() const;
    const std::string& name() const { return shown_; }
    void close();
    bool isOpen() const { return open_; }

private:
    friend class FileChannels;
    TextInput(std::string shown, std::string content) : shown_(std::move(shown)), text_(std::move(content)) {}
    void requireOpen() const;
    std::string shown_;
    std::string text_;  // UTF-8
    size_t pos_ = 0;
    bool open_ = true;
};

// A text file opened for writing (created or overwritten). Lines are kept
// until close, which replaces the target atomically. Dropped without a close
// it is committed, unless a failure is unwinding the stack (then the old file
// stays).
class TextOutput {
public:
    void writeLine(std::string_view line);  // adds CR LF
    void write(std::string_view text);      // no line end
    void close();                           // commits the file
    void discard();                         // drops what was written
    const std::string& name() const { return shown_; }
    bool isOpen() const { return open_; }
    ~TextOutput();

private:
    friend class FileChannels;
    TextOutput(std::string shown, std::filesystem::path host) : shown_(std::move(shown)), host_(std::move(host)) {}
    std::string shown_;
    std::filesystem::path host_;
    std::string buffer_;  // UTF-8
    bool open_ = true;
};

class FileChannels {
public:
    explicit FileChannels(const DriveMap& drives) : drives_(drives) {}
    FileChannels(const FileChannels&) = delete;
    FileChannels& operator=(const FileChannels&) = delete;

    std::shared_ptr<TextInput> openInput(std::string_view programPath);
    std::shared_ptr<TextOutput> openOutput(std::string_view programPath);
    // Closes every file the program holds open; output files are committed.
    void closeAll();
    size_t openCount() const;

    bool exists(std::string_view programPath) const;
    // Deletes the file (53 when missing, 70 while a database user has it open).
    void remove(std::string_view programPath);
    // Copies `from` over `to`, replacing an existing file of that name (any
    // case); 70 while a database user has either file open.
    void copy(std::string_view from, std::string_view to);

    const DriveMap& drives() const { return drives_; }

private:
    void prune();
    const DriveMap& drives_;
    std::vector<std::weak_ptr<TextInput>> inputs_;
    std::vector<std::weak_ptr<TextOutput>> outputs_;
};

}  // namespace platform
