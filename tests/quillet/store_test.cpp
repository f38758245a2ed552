// The fields queue, stable field numbers and the query store.
#include <QPushButton>
#include <map>

#include "libs/quillet/query_store.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"
#include "runtime/picture.h"
#include "tests/quillet/quillet_fixture.h"

namespace corvix::quillet::testing {
namespace {

const FieldEntry* byName(const FieldsQueue& q, const std::string& name) {
    for (const FieldEntry& f : q)
        if (f.QWFLDNAME == name) return &f;
    return nullptr;
}

std::string record(const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& i : items) s += i + "\u00A6";
    return s + "\u00AB";
}

TEST_F(QuilletTest, DescriptionStringIsReadOrRefusedWhole) {
    EXPECT_EQ(runtime::charCount(accounts::accountsFieldsDescription()), 1248u);
    FieldsQueue q = accountFields();
    ASSERT_EQ(q.size(), 18u);
    // Sorted by the place of the upper-cased description.
    EXPECT_EQ(q.front().QWFLDDESC, "Category");
    EXPECT_EQ(q.front().QWFLDQPOINTER, 1);
    const FieldEntry* watch = byName(q, "PAS:Watch");
    ASSERT_TRUE(watch);
    EXPECT_EQ(watch->QWFLDCONTROL, 2);
    EXPECT_EQ(watch->QWFLDOPTIONS, "&Watch");
    EXPECT_EQ(watch->QWFLDDATATYPE, 2);
    EXPECT_EQ(byName(q, "PAS:Notes")->QWFLDLENGTH, 4096);

    const std::string nine = record({"A", "0", "X:A", "@s5", "5", "1", "1", "", ""});
    FieldsQueue bad = {FieldEntry{}};
    long error = 0;
    QX_ADDFIELDSQUEUEDATA(bad, error, nine + nine.substr(0, nine.size() - 2));  // no final «
    EXPECT_EQ(error, -2);
    EXPECT_TRUE(bad.empty());
    error = 0;
    QX_ADDFIELDSQUEUEDATA(bad, error, nine + record({"B", "0", "X:B", "@s5", "5", "1", "1", ""}));
    EXPECT_EQ(error, -1);  // eight items
    EXPECT_TRUE(bad.empty());
    error = 0;
    QX_ADDFIELDSQUEUEDATA(bad, error, record({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    EXPECT_EQ(error, -1);                     // ten items
    QX_ADDFIELDSQUEUEDATA(bad, error, nine);  // an error already set: nothing happens
    EXPECT_TRUE(bad.empty());
    EXPECT_EQ(error, -1);
}

TEST_F(QuilletTest, FieldNumbersStayAndQueriesOnRemovedFieldsAreFlagged) {
    FieldsQueue q = accountFields();
    std::map<std::string, int> numbers;
    for (const FieldEntry& f : q) numbers[f.QWFLDNAME] = f.QWFLDFIELDPOINTER;
    EXPECT_EQ(numbers["CAT:Category"], 1);  // numbered in the order of the entries
    EXPECT_EQ(numbers["PAS:Notes"], 18);
    // Two saved queries: one on Notes, one on Name.
    StoredQuery onNotes{0,
                        "PASSWORDS",
                        "notes",
                        0,
                        0,
                        "UPPER(PAS:Notes) = 'X'",
                        {{numbers["PAS:Notes"], 0, "AND", "x", 0, 1, 0},
                         {numbers["PAS:Name"], numbers["PAS:Notes"], "", "PAS:Notes", 0, 1, 0}}};
    StoredQuery onName{0,
                       "PASSWORDS",
                       "names",
                       0,
                       0,
                       "UPPER(PAS:Name) = 'A'",
                       {{numbers["PAS:Name"], 0, "", "a", 0, 1, 0}}};
    StoreError err;
    ASSERT_EQ(QueryStore::save(onNotes, &err), 0) << err.text;
    ASSERT_EQ(QueryStore::save(onName, &err), 0) << err.text;
    EXPECT_EQ(onName.queryNo, onNotes.queryNo + 1);

    // The host drops Notes and adds two fields; the list is also in another order.
    std::string s;
    for (const FieldEntry& f : q) {
        if (f.QWFLDNAME == "PAS:Notes") continue;
        s = record({f.QWFLDDESC, "0", f.QWFLDNAME, f.QWFLDPICTURE, std::to_string(f.QWFLDLENGTH),
                    std::to_string(f.QWFLDDATATYPE), std::to_string(f.QWFLDCONTROL), "",
                    f.QWFLDOPTIONS}) +
            s;
    }
    s += record({"Zone", "0", "PAS:Zone", "@s5", "5", "1", "1", "", ""});
    s += record({"Area", "1", "PAS:Area", "@s5", "5", "1", "1", "", ""});
    FieldsQueue changed;
    long error = 0;
    QX_ADDFIELDSQUEUEDATA(changed, error, s);
    ASSERT_EQ(error, 0);
    QX_INITFIELDSQUEUE(changed, "passwords");  // the class name compares upper-cased
    EXPECT_TRUE(messages_.asked.empty()) << messages_.asked[0].text;
    for (const FieldEntry& f : changed)
        if (numbers.count(f.QWFLDNAME))
            EXPECT_EQ(f.QWFLDFIELDPOINTER, numbers[f.QWFLDNAME]) << f.QWFLDNAME;
    EXPECT_EQ(byName(changed, "PAS:Zone")->QWFLDFIELDPOINTER, 18);  // the lowest free number
    EXPECT_EQ(byName(changed, "PAS:Area")->QWFLDFIELDPOINTER, 19);

    StoredQuery loaded;
    ASSERT_EQ(QueryStore::load(onNotes.queryNo, loaded, true, &err), 0);
    EXPECT_EQ(loaded.invalid, 1);
    ASSERT_EQ(loaded.elements.size(), 2u);
    EXPECT_EQ(loaded.elements[0].fieldPointer, -1);
    EXPECT_EQ(loaded.elements[1].fieldPointer, numbers["PAS:Name"]);
    EXPECT_EQ(loaded.elements[1].cmpPointer, -1);
    ASSERT_EQ(QueryStore::load(onName.queryNo, loaded, true, &err), 0);
    EXPECT_EQ(loaded.invalid, 0);

    // Loaded into the wizard, the removed field shows as "?????"; the next start with
    // the same list changes nothing.
    WizardSession session(changed);
    ASSERT_EQ(QueryStore::load(onNotes.queryNo, loaded, true, &err), 0);
    session.load(loaded);
    EXPECT_EQ(session.elements()[0].desc.substr(0, 6), "????? ");
    EXPECT_EQ(session.elements()[1].fldQPointer, byName(changed, "PAS:Name")->QWFLDQPOINTER);
    EXPECT_NE(session.elements()[1].desc.find("?????"), std::string::npos);
    FieldsQueue again;
    error = 0;
    QX_ADDFIELDSQUEUEDATA(again, error, s);
    QX_INITFIELDSQUEUE(again, "PASSWORDS");
    EXPECT_EQ(byName(again, "PAS:Area")->QWFLDFIELDPOINTER, 19);
}

TEST_F(QuilletTest, SavedQueriesAreListedReadReplacedAndDeleted) {
    StoreError err;
    StoredQuery a{0, "passwords", "zeta", 0, 0, "PAS:Wait = 1", {{3, 0, "", "1", 0, 1, 0}}};
    StoredQuery b{0, "PASSWORDS", "Alpha", 1, 0, "PAS:Wait = 2", {{3, 0, "", "2", 0, 1, 0}}};
    StoredQuery other{0, "CATEGORIES", "elsewhere", 0, 0, "CAT:Category = 'x'", {}};
    for (StoredQuery* q : {&a, &b, &other}) ASSERT_EQ(QueryStore::save(*q, &err), 0) << err.text;
    QueriesQueue list;
    QX_FILLQWQUEUE(list, "Passwords", 1);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].description, "All Records");
    EXPECT_EQ(list[0].sortKey, "1");
    EXPECT_EQ(list[1].description, "Custom Query...");
    EXPECT_EQ(list[2].description, "Alpha");
    EXPECT_EQ(list[2].sortKey, "3ALPHA");
    EXPECT_EQ(list[3].queryNo, a.queryNo);
    QX_FILLQWQUEUE(list, "PASSWORDS");
    EXPECT_EQ(list.size(), 3u);

    std::string s = "unchanged";
    QX_GETQUERY(a.queryNo, s);
    EXPECT_EQ(s, "PAS:Wait = 1");
    QX_GETQUERY(999, s);
    EXPECT_EQ(s, "");
    // A typed query keeps no elements.
    StoredQuery loaded;
    ASSERT_EQ(QueryStore::load(b.queryNo, loaded, true, &err), 0);
    EXPECT_TRUE(loaded.elements.empty());
    // Overwriting replaces the elements.
    a.elements = {{4, 0, "OR", "x", 0, 1, 0}, {5, 0, "", "y", 1, 2, 0}};
    ASSERT_EQ(QueryStore::save(a, &err), 0);
    ASSERT_EQ(QueryStore::load(a.queryNo, loaded, true, &err), 0);
    ASSERT_EQ(loaded.elements.size(), 2u);
    EXPECT_EQ(loaded.elements[1].value, "y");
    // Deleting asks with the description form; cancelled, nothing goes.
    setWindowHook([](QDialog* w, const std::string& name) {
        EXPECT_EQ(name, "QueryDescription");
        EXPECT_EQ(w->windowTitle(), "Delete Saved Query");
        w->reject();
    });
    EXPECT_EQ(QX_DELETEQUERY(a.queryNo), 0);
    setWindowHook(
        [](QDialog* w, const std::string&) { w->findChild<QPushButton*>("OK")->click(); });
    EXPECT_EQ(QX_DELETEQUERY(a.queryNo), 1);
    EXPECT_EQ(QX_DELETEQUERY(a.queryNo), 0);  // no such query now
    QX_GETQUERY(a.queryNo, s);
    EXPECT_EQ(s, "");
    EXPECT_EQ(QueryStore::load(a.queryNo, loaded, true, &err), storage::kRecordNotFound);
}

TEST_F(QuilletTest, StoreLocationParsingAndOldElements) {
    // A store in another folder, named by the host's variables (read again each time).
    std::filesystem::create_directories("elsewhere");
    std::string path = "elsewhere", file = "MINE.TPS";
    QX_SETQWFILEPATHS(std::nullopt, &path, &file);
    EXPECT_EQ(QXQW_FilePath, "elsewhere");
    EXPECT_EQ(storePaths().queries, "elsewhere/MINE.TPS\\!QXQW_Queries");
    StoreError err;
    StoredQuery q{0, "X", "d", 0, 0, "1", {}};
    ASSERT_EQ(QueryStore::save(q, &err), 0) << err.text;
    EXPECT_TRUE(std::filesystem::exists("elsewhere/MINE.TPS"));
    path = "";
    file = "";
    EXPECT_EQ(storePaths().queries, "QUERIES.TPS\\!QXQW_Queries");
    QX_SETQWFILEPATHS(2, nullptr, nullptr);
    // Query 0 never opens the store, even where none can be made.
    path = "/nonexistent/folder";
    QX_SETQWFILEPATHS(std::nullopt, &path, nullptr);
    std::string s = "x";
    QX_GETQUERY(0, s);
    EXPECT_EQ(s, "");
    EXPECT_TRUE(messages_.asked.empty());
    QX_SETQWFILEPATHS(2, nullptr, nullptr);
    QX_SETQWFILEPATHS(0, nullptr, nullptr);

    s = "PAS:Name = @WHO AND PAS:Wait = 1";
    QX_QWPARSE("@who", "O'Neil", s);
    EXPECT_EQ(s, "PAS:Name = 'O''Neil' AND PAS:Wait = 1");
    QX_QWPARSE("@absent", "x", s);
    EXPECT_EQ(s, "PAS:Name = 'O''Neil' AND PAS:Wait = 1");

    // An elements table in the older layout (operation as text) is converted on first use.
    storage::TableDecl old;
    old.label = "OLDFILE";
    old.prefix = "OLDFILE";
    old.owner = "quillet query store v1";
    old.name = "QUERIES.TPS\\!QXQW_Elements";
    using storage::FieldType;
    auto f = [](const char* n, FieldType t, uint32_t size = 0) {
        return storage::FieldDecl{n, t, size, {}, ""};
    };
    old.fields = {f("OLDFILE:QUERYNO", FieldType::Long),
                  f("OLDFILE:FIELDPOINTER", FieldType::Long),
                  f("OLDFILE:CMPPOINTER", FieldType::Long),
                  f("OLDFILE:CONJUNCTION", FieldType::String, 3),
                  f("OLDFILE:VALUE", FieldType::String, 80),
                  f("OLDFILE:MATCHTYPE", FieldType::Byte),
                  f("OLDFILE:OPERATOR", FieldType::String, 40),
                  f("OLDFILE:EXPRESSION", FieldType::Byte)};
    old.keys = {storage::KeyDecl{"OLDFILE:BYQUERYNO", "", {0}, storage::kKeyNoCase}};
    {
        storage::Table t(old);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        storage::Record r(old);
        const char* ops[] = {"Contains", "Is NOT Checked", "Does NOT Begin With"};
        for (int i = 0; i < 3; ++i) {
            r.clear();
            r.set(0, int64_t{1});
            r.set(1, int64_t{i + 1});
            r.set(4, std::string("v") + std::to_string(i));
            r.set(6, std::string(ops[i]));
            ASSERT_EQ(t.add(r), 0);
        }
    }
    // Saving the first query meets the old elements table and converts it first; the
    // old elements (of query 1) keep their values and get their operation numbers.
    StoredQuery first{0, "PASSWORDS", "old one", 0, 0, "1", {}};
    ASSERT_EQ(QueryStore::save(first, &err), 0) << err.text;
    ASSERT_EQ(first.queryNo, 1);
    StoredQuery loaded;
    ASSERT_EQ(QueryStore::load(1, loaded, true, &err), 0) << err.text;
    ASSERT_EQ(loaded.elements.size(), 3u);
    EXPECT_EQ(loaded.elements[0].opcode, 8);
    EXPECT_EQ(loaded.elements[1].opcode, 12);
    EXPECT_EQ(loaded.elements[2].opcode, 9);
    EXPECT_EQ(loaded.elements[2].value, "v2");
    EXPECT_EQ(loaded.elements[1].fieldPointer, 2);
    storage::Table check(old);
    EXPECT_EQ(check.open(), storage::kRecordMismatch);  // the layout is the new one now
    EXPECT_FALSE(storage::tableExists("QUERIES.TPS\\!QXQW_ElementsTmp", "quillet query store v1"));
}

}  // namespace
}  // namespace corvix::quillet::testing
