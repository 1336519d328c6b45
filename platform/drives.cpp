#include "platform/drives.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/codepage.h"
#include "platform/failure.h"

namespace fs = std::filesystem;

namespace platform {

std::string ProgramPath::text() const {
    std::string s(1, drive);
    s += drive == 'G' ? ":" : ":\\";
    return s + name;
}

namespace {
fs::path homeDir() {
    const char* h = std::getenv("HOME");
    return h && *h ? fs::path(h) : fs::path("/tmp");
}
fs::path xdg(const char* var, const char* fallback) {
    const char* v = std::getenv(var);
    if (v && *v) return fs::path(v);
    return homeDir() / fallback;
}
std::string trim(std::string s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}
}  // namespace

DriveMap DriveMap::fromEnvironment() {
    DriveMap m;
    m.configDir_ = xdg("XDG_CONFIG_HOME", ".config") / "velmora";
    fs::path data = xdg("XDG_DATA_HOME", ".local/share") / "velmora";
    m.roots_['M'] = data / "M";
    m.roots_['G'] = data / "G";
    std::ifstream conf(m.configDir_ / "drives.conf");
    std::string line;
    while (std::getline(conf, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        // "M=/dir", blanks allowed around the letter and the sign.
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string letter = trim(line.substr(0, eq)), dir = trim(line.substr(eq + 1));
        if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])) || dir.empty()) continue;
        m.roots_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])))] = dir;
    }
    for (char c = 'A'; c <= 'Z'; ++c) {
        std::string var = std::string("VELMORA_DRIVE_") + c;
        if (const char* v = std::getenv(var.c_str()); v && *v) m.roots_[c] = v;
    }
    return m;
}

void DriveMap::set(char letter, fs::path dir) {
    roots_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = std::move(dir);
}

std::optional<fs::path> DriveMap::root(char letter) const {
    auto it = roots_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    if (it == roots_.end()) return std::nullopt;
    return it->second;
}

ProgramPath DriveMap::parse(std::string_view p) {
    std::string shown(p);
    if (p.size() < 2 || p[1] != ':' || !std::isalpha(static_cast<unsigned char>(p[0]))) throw badFileName(shown);
    ProgramPath out;
    out.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    std::string_view rest = p.substr(2);
    if (!rest.empty() && rest[0] == '\\') rest.remove_prefix(1);
    out.name = std::string(rest);
    if (out.name.empty() || out.name == "." || out.name == ".." ||
        out.name.find_first_of(std::string("\\/:\0", 4)) != std::string::npos)
        throw badFileName(shown);
    if (out.name.size() > 255) throw badFileName(shown);
    return out;
}

fs::path DriveMap::resolve(std::string_view programPath) const { return resolve(parse(programPath)); }

fs::path DriveMap::resolve(const ProgramPath& p) const {
    auto r = root(p.drive);
    if (!r) throw pathNotFound(p.text());
    std::error_code ec;
    if (!fs::is_directory(*r, ec)) throw pathNotFound(p.text());
    fs::path exact = *r / p.name;
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;
    for (fs::directory_iterator it(*r, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (equalsNoCase(entry, p.name)) return it->path();
    }
    return exact;
}

bool DriveMap::exists(std::string_view programPath) const {
    ProgramPath pp = parse(programPath);  // a name leaving the directory is still refused
    auto r = root(pp.drive);
    std::error_code ec;
    // The file-exists test answers false for a drive that is not there, as the
    // scripting object did, instead of failing.
    if (!r || !fs::is_directory(*r, ec)) return false;
    return fs::exists(resolve(pp), ec);
}

}  // namespace platform
