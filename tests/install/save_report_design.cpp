// Saves a one-column report design over the accounts into the vault of the working
// directory, so that the install test can print it through the installed corvix-cli.
//   save_report_design NAME
#include <cstdio>

#include "libs/rubrica/report_store.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: save_report_design NAME\n");
        return 2;
    }
    corvix::rubrica::ReportDefinition d;
    d.setDescription(argv[1]);
    d.VIEWCLASS = "BrowseCVPAS";
    d.FORMATSTR = "~Description~";
    d.SORTORDER = "UPPER(PAS:Description)";
    corvix::rubrica::StoreError e;
    if (corvix::rubrica::ReportStore::save(d, &e) != 0) {
        std::fprintf(stderr, "save_report_design: %s\n", e.text.c_str());
        return 1;
    }
    return 0;
}
