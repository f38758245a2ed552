// The definitions table RWReport: one record per saved report design, per view class.
// Opened for each use and closed after; created when missing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "libs/rubrica/rubrica.h"
#include "platform/storage/declaration.h"

namespace corvix::rubrica {

namespace rw {
enum {
    SYSID,
    VIEWCLASS,
    FORMATSTR,
    SORTORDER,
    DESC_1,
    DESC_2,
    GHEAD,
    GFOOT,
    GPAGE,
    GTOTAL,
    GSUPPRESS,
    NAME,
    SIZE,
    BOLD,
    ITALIC,
    EXTOPT,
    EXTID
};
enum { K__, K_EXT, K_DESC };
}  // namespace rw

const storage::TableDecl& RWReportDecl();

struct ReportDefinition {
    int32_t SYSID = 0;
    std::string VIEWCLASS;
    std::string FORMATSTR;
    std::string SORTORDER;
    std::string DESC_1, DESC_2;  // the name: 15 + 25 characters
    BreakOptions BRKGRP;
    std::string NAME;  // font
    uint16_t SIZE = 0;
    uint8_t BOLD = 0, ITALIC = 0;
    int32_t EXTOPT = 0, EXTID = 0;

    std::string description() const;  // DESC_1 + DESC_2, trailing blanks off
    void setDescription(const std::string& name);
};

struct StoreError {
    int code = 0;
    std::string text;
};

class ReportStore {
  public:
    // The view class's reports in name order.
    static int list(const std::string& viewClass, std::vector<ReportDefinition>& out,
                    StoreError* e = nullptr);
    static int load(int32_t sysId, ReportDefinition& out, StoreError* e = nullptr);
    // A report of the view class by name (no case); 35 when none.
    static int find(const std::string& viewClass, const std::string& name, ReportDefinition& out,
                    StoreError* e = nullptr);
    // SYSID 0: a new record numbered one above the highest; else the record is replaced.
    // 40 (key "System Ident Key" or the name's key) on a duplicate.
    static int save(ReportDefinition& def, StoreError* e = nullptr);
    static int remove(int32_t sysId, StoreError* e = nullptr);
};

}  // namespace corvix::rubrica
