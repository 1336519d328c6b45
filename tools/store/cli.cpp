#include "tools/store/cli.h"

#include "platform/files.h"
#include "settings/store_settings.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <iomanip>
#include <optional>
#include <ostream>

#include "tools/store/demo.h"
#include "tools/store/store.h"

namespace fs = std::filesystem;

namespace storetool {

namespace {

constexpr const char* kTool = "velmora-store";

const char* const kUsage =
    "Usage: velmora-store COMMAND [DIR] [OPTIONS]\n"
    "\n"
    "Makes and checks the store's twelve databases: cusfile.mdb, detail.mdb,\n"
    "comment.mdb, stock.mdb, trans.mdb, invoice.mdb, insurance.mdb and\n"
    "mail1.mdb to mail5.mdb, each with its table Table1.\n"
    "\n"
    "Commands:\n"
    "  create [DIR] [--before-credit-bureau]\n"
    "        make the twelve databases with empty tables\n"
    "  demo [DIR] [--accounts N] [--before-credit-bureau]\n"
    "        make them and fill them with sample data\n"
    "  check [DIR]\n"
    "        read every row of every database; report each as sound or damaged\n"
    "\n"
    "DIR is the data directory; without it, the directory mapped to drive M\n"
    "(VELMORA_DRIVE_M, else drives.conf, else ~/.local/share/velmora/M).\n"
    "Run 'velmora-store COMMAND --help' for more about a command.\n"
    "\n"
    "Exit status: 0 done, 1 refused, failed or damaged, 2 bad usage.\n";

const char* const kCreateHelp =
    "Usage: velmora-store create [DIR] [--before-credit-bureau]\n"
    "\n"
    "Creates DIR when it is missing and the twelve databases in it, each with\n"
    "an empty Table1 and its indexes. Refuses, changing nothing, when any of the\n"
    "twelve files already exists in DIR.\n"
    "\n"
    "  --before-credit-bureau  make the customer file as it was before the data\n"
    "                          upgrade: without the eight CBI... columns\n"
    "  -h, --help              this text\n";

const char* const kDemoHelp =
    "Usage: velmora-store demo [DIR] [--accounts N] [--before-credit-bureau]\n"
    "\n"
    "Creates the twelve databases as 'create' does (and refuses as it does),\n"
    "then fills them with sample data, the same for the same options and month:\n"
    "N accounts (default 60, at least 6) with names, addresses, telephones,\n"
    "payment schedules, balances and dates as MM/DD/YYYY; their recent payments;\n"
    "three insurance rows of each of the nine types, dated in the current month;\n"
    "rows in every mailing list; a few comments, stock items, inventory\n"
    "transactions and invoices.\n"
    "\n"
    "Accounts 10000 + i. These carry deliberate faults for the bad-data scan:\n"
    "  10000    house account without a last name (first in NAME order, so\n"
    "           the scan visits every faulty account below)\n"
    "  10001    purchase date (pchdate) 13/45/2005\n"
    "  10002    promised payment date (prompaydate) \"2/30/2005 x\"\n"
    "  10003    empty first due date (origduedate)\n"
    "  10004    last name \" SMITH\" (a leading space)\n"
    "  ab10005  account number in lower case\n"
    "All other accounts are sound.\n"
    "\n"
    "  --accounts N            number of accounts, 6 to 100000\n"
    "  --before-credit-bureau  customer file without the eight CBI... columns\n"
    "  -h, --help              this text\n";

const char* const kCheckHelp =
    "Usage: velmora-store check [DIR]\n"
    "\n"
    "Opens each of the twelve databases through the program's engine and reads\n"
    "every row of every table. Prints one line per database: its name, the rows\n"
    "of each table, and 'sound' or 'damaged' with the reason (missing, not a\n"
    "database, cannot be opened, unreadable rows, no Table1). Exit status 1 when\n"
    "any is damaged or missing.\n"
    "\n"
    "  -h, --help  this text\n";

struct Parsed {
    std::optional<fs::path> dir;
    bool beforeCreditBureau = false;
    int accounts = kDemoDefaultAccounts;
    bool help = false;
};

struct UsageError {
    std::string message;
};

std::optional<int> readCount(const std::string& s) {
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

Parsed parse(const std::string& command, const std::vector<std::string>& args) {
    Parsed p;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            if (a == "--") { optionsEnd = true; continue; }
            if (a == "-h" || a == "--help") { p.help = true; continue; }
            if (a == "--before-credit-bureau" && command != "check") { p.beforeCreditBureau = true; continue; }
            if (command == "demo" && (a == "--accounts" || a.rfind("--accounts=", 0) == 0)) {
                std::string v;
                if (a == "--accounts") {
                    if (i + 1 >= args.size()) throw UsageError{"--accounts needs a number"};
                    v = args[++i];
                } else {
                    v = a.substr(std::string("--accounts=").size());
                }
                auto n = readCount(v);
                if (!n || *n < kDemoFaultyAccounts || *n > kDemoMaxAccounts)
                    throw UsageError{"--accounts takes a whole number from " + std::to_string(kDemoFaultyAccounts) +
                                     " to " + std::to_string(kDemoMaxAccounts) + ", not '" + v + "'"};
                p.accounts = *n;
                continue;
            }
            throw UsageError{"unknown option '" + a + "' for " + command};
        }
        if (p.dir) throw UsageError{"only one directory may be given ('" + a + "' is one too many)"};
        if (a.empty()) throw UsageError{"the directory must not be empty"};
        p.dir = fs::path(a);
    }
    return p;
}

platform::Date hostToday() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return platform::Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

// The settings files of a new store, written by the program's own writer.
void writeSettings(Store& store, const settings::StoreIdentity& who) {
    auto g = store.drives().root('G');
    std::error_code ec;
    if (g) fs::create_directories(*g, ec);
    platform::FileChannels files(store.drives());
    try {
        settings::writeStoreSettings(files, who);
    } catch (...) {
        removeStoreFiles(store);
        throw;
    }
}

int runCreate(const Parsed& p, std::ostream& out) {
    Store store(p.dir ? *p.dir : defaultDataDirectory());
    createStore(store, !p.beforeCreditBureau);
    writeSettings(store, settings::StoreIdentity{});
    out << "Created the twelve databases in " << store.dir().string()
        << (p.beforeCreditBureau ? " (customer file without the credit-bureau columns)" : "") << ".\n";
    return 0;
}

int runDemo(const Parsed& p, std::ostream& out) {
    Store store(p.dir ? *p.dir : defaultDataDirectory());
    createStore(store, !p.beforeCreditBureau);
    DemoOptions o;
    o.accounts = p.accounts;
    o.withCreditBureauColumns = !p.beforeCreditBureau;
    o.today = hostToday();
    try {
        fillDemo(store, o);
    } catch (...) {
        // The store was made by this run: leave no half-filled one behind.
        removeStoreFiles(store);
        throw;
    }
    writeSettings(store, settings::StoreIdentity::demo());
    out << "Created the twelve databases in " << store.dir().string() << " with " << p.accounts
        << " sample accounts.\n";
    return 0;
}

std::string tableText(const CheckLine& l) {
    std::string s;
    for (const auto& t : l.tables) s += (s.empty() ? "" : ", ") + t.table + " " + std::to_string(t.rows) + " rows";
    return s.empty() ? "-" : s;
}

int runCheck(const Parsed& p, std::ostream& out) {
    fs::path dir = p.dir ? *p.dir : defaultDataDirectory();
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) throw StoreError("the data directory " + dir.string() + " does not exist");
    Store store(dir);
    auto lines = checkStore(store);
    // Settings files join the report here once they are checked.
    for (auto& l : checkSettings(store)) lines.push_back(l);
    int damaged = 0;
    for (const auto& l : lines) {
        out << std::left << std::setw(15) << l.file << std::setw(34) << tableText(l)
            << (l.sound ? "sound" : "damaged: " + l.problem) << "\n";
        if (!l.sound) ++damaged;
    }
    if (damaged)
        out << damaged << " of " << lines.size() << " damaged or missing.\n";
    else
        out << "All " << lines.size() << " sound.\n";
    return damaged ? 1 : 0;
}

}  // namespace

int runStoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command != "create" && command != "demo" && command != "check") {
        err << kTool << ": unknown command '" << command << "'\n\n" << kUsage;
        return 2;
    }
    const char* help = command == "create" ? kCreateHelp : command == "demo" ? kDemoHelp : kCheckHelp;
    Parsed p;
    try {
        p = parse(command, std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const UsageError& e) {
        err << kTool << ": " << e.message << "\n\n" << help;
        return 2;
    }
    if (p.help) {
        out << help;
        return 0;
    }
    try {
        if (command == "create") return runCreate(p, out);
        if (command == "demo") return runDemo(p, out);
        return runCheck(p, out);
    } catch (const std::exception& e) {
        err << kTool << ": " << e.what() << "\n";
        return 1;
    }
}

}  // namespace storetool
