#include "vault/maintenance.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "libs/ferrule/ferrule.h"
#include "platform/storage/integrity.h"
#include "vault/tables.h"

namespace corvix::vault {

namespace {

constexpr int kExclusive = storage::kReadWrite | storage::kDenyAll;  // mode 18
constexpr int kShared = storage::kReadOnly | storage::kDenyNone;     // mode 64

const storage::TableDecl* declarationFor(const std::string& label) {
    for (const storage::TableDecl* d :
         {&ExGSD(), &ExPAS(), &CVCAT(), &CVGSD(), &CVMAS(), &CVPAS(), &CVWRD()}) {
        std::string a = d->label, b = label;
        std::transform(a.begin(), a.end(), a.begin(), ::toupper);
        std::transform(b.begin(), b.end(), b.begin(), ::toupper);
        if (a == b) return d;
    }
    return nullptr;
}

bool isTextFile(const storage::TableDecl& decl) {
    return &decl == &ExPAS() || &decl == &ExGSD();
}

std::string errorWithCode(const storage::Error& e) {
    std::string text = e.text.empty() ? storage::errorText(e.code) : e.text;
    text += " (" + std::to_string(e.code) + ")";
    if (!e.driverText.empty()) text += " " + e.driverText;
    return text;
}

// The full name of a table's file as the driver knows it: "/home/u/Corvix.TPS\!Passwords".
std::string fullName(const storage::TableDecl& decl) {
    if (isTextFile(decl)) return std::filesystem::absolute(decl.name).string();
    storage::TableName n = storage::splitTableName(decl.name);
    std::string path = std::filesystem::absolute(n.file).string();
    return n.table.empty() ? path : path + "\\!" + n.table;
}

// An export file has no keys and holds no records back; its records are its lines.
int countLines(const std::string& file, int64_t* count, storage::Error* e) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        e->code = std::filesystem::exists(file) ? storage::kAccessDenied : storage::kFileNotFound;
        e->text = storage::errorText(e->code);
        return e->code;
    }
    *count = 0;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line != "\r") ++*count;
    return storage::kNoError;
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (::access(((dir.empty() ? "." : dir) + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line + " ") {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

class RowWork {
  public:
    RowWork(RepairRow& row, const storage::TableDecl& decl, RepairUi& ui, int filesLeft)
        : row_(row), decl_(decl), ui_(ui), filesLeft_(filesLeft), table_(decl) {}

    void run(RepairOperation operation) {
        switch (operation) {
            case RepairOperation::Build:
                return exclusive("Building File", [this] { return table_.buildKeys(); });
            case RepairOperation::Pack:
                return exclusive("Packing File", [this] { return table_.pack(); });
            case RepairOperation::Release:
                return release();
            case RepairOperation::Fix:
                return fix();
            case RepairOperation::Info:
                return info();
        }
    }

  private:
    template <typename Work>
    void exclusive(const char* doing, Work work) {
        ui_.working(row_.description, "", filesLeft_);
        if (isTextFile(decl_)) return textFile(doing);
        int rc = fu_FileOpen(table_, kExclusive);
        if (rc == storage::kFileNotFound) return;  // nothing to work on
        table_.sendDriverString("FULLBUILD=on");
        ui_.working(row_.description, doing, filesLeft_);
        if (rc == storage::kBadKey) {
            // Keys that must be rebuilt keep the table from opening: the build opens it.
            rc = table_.buildKeys();
            if (rc == storage::kNoError) rc = table_.open(kExclusive);
        }
        if (rc != storage::kNoError) return accessError(rc);
        if (work() != storage::kNoError)
            ui_.message("Repair", doing + std::string(" failed for ") + row_.description + ": " +
                                      errorWithCode(table_.error()));
        finishOpen();
    }

    // Opens the file alone, reads every record once and counts them; nothing is held in
    // this storage, so there is nothing to free.
    void release() {
        ui_.working(row_.description, "", filesLeft_);
        if (isTextFile(decl_)) return textFile("Releasing");
        table_.sendDriverString("RECOVER=1");
        const int rc = fu_FileOpen(table_, kExclusive);
        if (rc == storage::kFileNotFound) return;
        if (rc != storage::kNoError) return accessError(rc);
        table_.sendDriverString("IGNORESTATUS=ON");
        const int64_t total = table_.records();
        storage::Record record(decl_);
        int64_t read = 0;
        int shown = -1;
        table_.set(storage::kPhysicalOrder);
        while (table_.next(record) == storage::kNoError) {
            ++read;
            const int now = total > 0 ? static_cast<int>(read * 100 / total) : 100;
            if (now != shown) ui_.percent(shown = now);
        }
        table_.sendDriverString("RECOVER=0");
        table_.sendDriverString("IGNORESTATUS=OFF");
        finishOpen();
    }

    void fix() {
        if (row_.encrypted) {
            ui_.message("Repair", "Can't fix encrypted file : " + row_.label);
            return;
        }
        std::string name = fullName(decl_);
        const size_t bang = name.find('!');
        if (bang != std::string::npos) {
            if (!ui_.askYesNo("Warning",
                              "This is a multi-table TPS file. You can try using Fix, but the "
                              "results are not guarenteed and could damage your file further.  "
                              "Do you want to continue ? "))
                return;
            name = name.substr(0, bang > 0 && name[bang - 1] == '\\' ? bang - 1 : bang);
        }
        // The export files are the text driver's: the tool only knows the other driver.
        const std::string answer = isTextFile(decl_) ? "2" : fu_MakeTPE(table_);
        if (answer == "1") return ui_.message("Error", "Unable to create TPE Example file.");
        if (answer == "2") return ui_.message("Error", "Not a TOPSPEED file.");
        if (answer == "3")
            return ui_.message("Error",
                               "Error creating TPE file : " + errorWithCode(storage::lastError()));
        const std::string line = tpsfixCommandLine(name);
        if (!onPath("tpsfix"))
            return ui_.message("Error",
                               "The repair tool tpsfix is not installed (not found on "
                               "PATH); it would be started as: " +
                                   line);
        std::string error;
        if (!ui_.startDetached(splitWords(line), &error))
            ui_.message("Error", "The repair tool could not be started (" + line + "): " + error);
    }

    void info() {
        if (isTextFile(decl_)) {
            int64_t count = 0;
            storage::Error e;
            if (countLines(decl_.name, &count, &e) == storage::kNoError) {
                row_.records = std::to_string(count);
                row_.path = fullName(decl_);
            } else {
                row_.records = "?";
                row_.path = "Error : " + errorWithCode(e);
            }
            return;
        }
        const int rc = fu_FileOpen(table_, kShared);
        if (rc == storage::kNoError || rc == storage::kAlreadyOpen) {
            row_.records = std::to_string(table_.records());
            row_.path = fullName(decl_);
            table_.close();
        } else {
            storage::Error e = table_.error();
            if (e.code != rc) e = storage::Error{rc, storage::errorText(rc)};
            row_.records = "?";
            row_.path = "Error : " + errorWithCode(e);
        }
    }

    void textFile(const char* doing) {
        int64_t count = 0;
        storage::Error e;
        const int rc = countLines(decl_.name, &count, &e);
        if (rc == storage::kFileNotFound) return;
        if (rc != storage::kNoError) return accessError(e);
        ui_.working(row_.description, doing, filesLeft_);
        row_.records = std::to_string(count);
        row_.path = fullName(decl_);
    }

    void finishOpen() {
        row_.records = std::to_string(table_.records());
        row_.path = fullName(decl_);
        table_.close();
    }

    // The open's own error: the library may have run other operations after it.
    void accessError(int code) {
        storage::Error e = table_.error();
        if (e.code != code) {
            e = storage::Error{};
            e.code = code;
            e.text = storage::errorText(code);
        }
        accessError(e);
    }
    void accessError(const storage::Error& e) {
        ui_.message("File Access Error", accessErrorText(e));
    }

    RepairRow& row_;
    const storage::TableDecl& decl_;
    RepairUi& ui_;
    int filesLeft_;
    storage::Table table_;
};

}  // namespace

std::vector<RepairRow> repairRows() {
    std::vector<RepairRow> rows = {
        {"", "Themes", "?", "", "ExGSD", false},
        {"", "Passwords", "?", "", "ExPAS", false},
        {"", "Category", "?", "", "CVCAT", true},
        {"", "Themes", "?", "", "CVGSD", true},
        {"", "Master information", "?", "", "CVMAS", true},
        {"", "Passwords", "?", "", "CVPAS", true},
        {"", "Password Generation Database", "?", "", "CVWRD", true},
    };
    std::stable_sort(rows.begin(), rows.end(), [](const RepairRow& a, const RepairRow& b) {
        return a.description < b.description;
    });
    return rows;
}

void runRepairOperation(RepairOperation operation, std::vector<RepairRow>& rows, int highlighted,
                        RepairUi& ui) {
    std::vector<size_t> work;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].tag == "1") work.push_back(i);
    if (work.empty() && highlighted >= 0 && highlighted < static_cast<int>(rows.size()))
        work.push_back(static_cast<size_t>(highlighted));
    int left = static_cast<int>(work.size());
    for (size_t i : work) {
        const storage::TableDecl* decl = declarationFor(rows[i].label);
        if (decl) RowWork(rows[i], *decl, ui, left).run(operation);
        --left;
        if (left > 0 && ui.cancelled()) break;
    }
}

std::string accessErrorText(const storage::Error& error) {
    return "This option requires exclusive file access.\nPlease ensure no other users are in the "
           "system. \nAn error occured trying to open the file : Error " +
           errorWithCode(error);
}

std::string tpsfixCommandLine(const std::string& name) {
    const size_t dot = name.find('.');
    if (dot != std::string::npos)
        return "tpsfix " + name + "  /E:" + name.substr(0, dot) + ".tpe" + " /K ";
    return "tpsfix " + name + ".tps" + "  /E:" + name + ".tpe" + " /K ";
}

bool checkVaultIntegrity(std::vector<std::string>* report) {
    bool sound = true;
    for (const storage::TableDecl* d : {&CVCAT(), &CVPAS(), &CVMAS(), &CVGSD(), &CVWRD()}) {
        storage::Table t(*d);
        if (d == &CVWRD() && !storage::tableExists(d->name, d->owner)) {
            report->push_back(d->label + " (" + d->name + "): not present");
            continue;  // only the password generator needs it
        }
        const int rc = t.open(kShared);
        std::string line = d->label + " (" + d->name + "): ";
        if (rc != storage::kNoError) {
            line += "cannot be opened: " + errorWithCode(t.error());
            sound = false;
        } else {
            std::string detail;
            const int64_t count = t.records();
            if (storage::checkIntegrity(t, &detail) == storage::kNoError) {
                line += "sound, " + std::to_string(count) + " records";
            } else {
                line += "damaged: " + (detail.empty() ? errorWithCode(t.error()) : detail);
                sound = false;
            }
            t.close();
        }
        report->push_back(line);
    }
    return sound;
}

}  // namespace corvix::vault
