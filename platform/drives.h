#pragma once
// The drive map: a drive letter stands for a host directory, as the
// workstation's drive mapping did. Program paths are "M:\name" or "G:name";
// names are matched without regard to ASCII case.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct ProgramPath {
    char drive = 0;      // upper-case letter
    std::string name;    // the file name as given
    std::string text() const;  // "M:\name" as the program writes it
};

class DriveMap {
public:
    // Reads ${XDG_CONFIG_HOME:-~/.config}/velmora/drives.conf ("M=/srv/data"
    // lines); VELMORA_DRIVE_<LETTER> in the environment overrides a line; M and
    // G default to ${XDG_DATA_HOME:-~/.local/share}/velmora/M and .../G.
    // This is the only place of the program that reads the environment.
    static DriveMap fromEnvironment();

    void set(char letter, std::filesystem::path dir);
    std::optional<std::filesystem::path> root(char letter) const;

    // Splits and checks a program path. A name that would leave the drive's
    // directory (a separator, "..", an absolute path, a NUL) is the Bad file
    // name failure.
    static ProgramPath parse(std::string_view programPath);

    // The host path of an existing entry matching the name without regard to
    // case, or the path the name would get as given. The drive's directory
    // must exist (Path not found otherwise).
    std::filesystem::path resolve(std::string_view programPath) const;
    std::filesystem::path resolve(const ProgramPath& p) const;
    // Whether an entry of that name exists (any case); false when the drive's
    // directory is missing. A name leaving the directory is still refused.
    bool exists(std::string_view programPath) const;

    // Host directory of XDG_CONFIG_HOME/velmora and of the environment's
    // overrides, kept for the platform's own state files.
    const std::filesystem::path& configDir() const { return configDir_; }

private:
    std::map<char, std::filesystem::path> roots_;
    std::filesystem::path configDir_;
};

}  // namespace platform
