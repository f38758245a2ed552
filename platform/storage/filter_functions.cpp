// SQL functions that filter conditions translated from expressions call, so that the
// storage computes exactly what the per-record evaluator does. They run for every
// record of a full pass, so they allocate as little as they can.
#include <memory>

#include "platform/storage/internal.h"
#include "runtime/expression.h"

namespace corvix::storage::detail {

namespace {

std::string_view textOf(sqlite3_value* v) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return {text ? text : "", static_cast<size_t>(sqlite3_value_bytes(v))};
}

// cv_upper(text): UPPER.
void upperFunction(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_type(args[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const std::string_view text = textOf(args[0]);
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii) {
        const std::string upper = runtime::expr::upperText(text);
        sqlite3_result_text64(context, upper.data(), upper.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return;
    }
    // One buffer, handed over to SQLite.
    char* out = static_cast<char*>(sqlite3_malloc64(text.size() + 1));
    if (!out) {
        sqlite3_result_error_nomem(context);
        return;
    }
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(text[i] >= 'a' && text[i] <= 'z' ? text[i] - 32 : text[i]);
    out[text.size()] = 0;
    sqlite3_result_text64(context, out, text.size(), sqlite3_free, SQLITE_UTF8);
}

// cv_upper_instr(text, needle): INSTRING(needle, UPPER(text), 1, 1), without building
// the upper-cased text. The needle is nearly always a bound constant: what it takes
// to look for it is made once per statement and kept beside it.
void upperInstrFunction(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const std::string_view text = textOf(args[0]);
    if (const auto* kept =
            static_cast<const runtime::expr::UpperFinder*>(sqlite3_get_auxdata(context, 1))) {
        sqlite3_result_int64(context, kept->find(text));
        return;
    }
    auto finder = std::make_unique<runtime::expr::UpperFinder>(textOf(args[1]));
    sqlite3_result_int64(context, finder->find(text));
    // SQLite may drop the kept value at once; it is not used after this.
    sqlite3_set_auxdata(context, 1, finder.release(),
                        [](void* p) { delete static_cast<runtime::expr::UpperFinder*>(p); });
}

// cv_upper_cmp(text, start, length, other): UPPER(SUB(text, start, length)) compared
// with other (-1, 0, 1), without the copies substr, upper-casing and cutting blanks
// would make; length below 0 for the whole text.
void upperCompareFunction(sqlite3_context* context, int, sqlite3_value** args) {
    // Start and length are the translator's bound numbers, never null.
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[3]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int(context,
                       runtime::expr::compareUpper(textOf(args[0]), sqlite3_value_int64(args[1]),
                                                   sqlite3_value_int64(args[2]), textOf(args[3])));
}

}  // namespace

void registerFilterFunctions(sqlite3* db) {
    // Innocuous too where the library knows the word (SQLite 3.31 on; Debian 12's
    // SQLCipher is older): they read their arguments and nothing else.
#ifdef SQLITE_INNOCUOUS
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
#else
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
#endif
    sqlite3_create_function(db, "cv_upper", 1, kFlags, nullptr, upperFunction, nullptr, nullptr);
    sqlite3_create_function(db, "cv_upper_instr", 2, kFlags, nullptr, upperInstrFunction, nullptr,
                            nullptr);
    sqlite3_create_function(db, "cv_upper_cmp", 4, kFlags, nullptr, upperCompareFunction, nullptr,
                            nullptr);
}

}  // namespace corvix::storage::detail
