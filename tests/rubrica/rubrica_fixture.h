// A scratch folder for the definitions table, recorded messages, a QApplication, and a
// host with report fields and template controls in a report object.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "libs/rubrica/messages.h"
#include "libs/rubrica/rubrica.h"
#include "runtime/report.h"
#include "tests/vault/temp_dir.h"

namespace corvix::rubrica::testing {

// Pages as texts with their places, from the engine.
class RecordingSink : public runtime::report::PageSink {
  public:
    struct Item {
        int x, y;
        std::string text;
        bool bold;
    };
    bool beginPage(int) override {
        pages.emplace_back();
        return true;
    }
    void text(int x, int y, int, int, const std::string& t, runtime::report::Align,
              bool bold) override {
        pages.back().push_back({x, y, t, bold});
    }
    void rule(int x, int y, int) override { pages.back().push_back({x, y, "----", false}); }
    void endPage() override {}
    std::vector<std::string> texts(size_t page) const {
        std::vector<std::string> out;
        for (const Item& i : pages.at(page)) out.push_back(i.text);
        return out;
    }
    std::vector<std::vector<Item>> pages;
};

class VectorRows : public runtime::report::RowSource {
  public:
    explicit VectorRows(std::vector<runtime::report::Row> rows) : rows_(std::move(rows)) {}
    bool next(runtime::report::Row& row) override {
        if (at_ >= rows_.size()) return false;
        row = rows_[at_++];
        return true;
    }

  private:
    std::vector<runtime::report::Row> rows_;
    size_t at_ = 0;
};

// Acts on the next modal window that opens (a dialog's exec() runs meanwhile).
inline void onNextModal(std::function<void(QWidget*)> act, QWidget* current = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act, current] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == current) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

// Saves a widget's picture under the build's screenshot folder.
inline void screenshot(QWidget* w, const std::string& name) {
    QDir().mkpath(CORVIX_SCREENSHOT_DIR);
    w->grab().save(QString(CORVIX_SCREENSHOT_DIR) + "/" + QString::fromStdString(name) + ".png");
}

class RubricaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_rubrica";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        previousHook_ =
            setMessageHook([this](const std::string& t, const std::string& x, unsigned buttons) {
                messages.push_back(t + ": " + x);
                if (answers.empty()) return buttons & kYes ? unsigned(kYes) : unsigned(kOk);
                const unsigned a = answers.front();
                answers.erase(answers.begin());
                return a;
            });
        REPWIZINIT();
    }
    void TearDown() override {
        useReport(nullptr);
        setMessageHook(previousHook_);
    }

    // Host fields: Category and Name (text, template 11, 12), Amount and Count (numbers,
    // 13, 14, totallable), each template `width` units wide.
    void makeHost(int width = 1500) {
        allFields = {{"Category", 0, "H:Category", kNoTotal},
                     {"Name", 0, "H:Name", kNoTotal},
                     {"Amount", 0, "H:Amount", kTotallable},
                     {"Count", 0, "H:Count", kTotallable}};
        fields = {{"Category", "H:Category", 1},
                  {"Name", "H:Name", 1},
                  {"Amount", "H:Amount", 0},
                  {"Count", "H:Count", 0}};
        report = runtime::report::Report();
        report.pageHeader().height = 600;
        for (int i = 0; i < 4; ++i) {
            runtime::report::Control t;
            t.id = 11 + i;
            t.kind = runtime::report::ControlKind::Field;
            t.width = width;
            t.picture = i < 2 ? "@s30" : "@n-12";
            t.align = i < 2 ? runtime::report::Align::Left : runtime::report::Align::Right;
            t.hidden = true;
            report.addControl(0, t);
        }
        useReport(&report);
    }

    // URINIT, URINITCONTROL for every column, URPOST: what a host does at print time.
    void build(TQRPTFIELD& columns, const BreakOptions& o) {
        URINIT(o);
        long count = 0;
        for (int i = 0; i < 4; ++i) {
            long tpl = 11 + i;
            URINITCONTROL(columns, i, allFields[i].NAME, &tpl, 0, o, count);
        }
        URPOST(columns, 0, 0, o);
    }

    TQRPTFIELD allFields;
    TQFIELD fields;
    runtime::report::Report report;
    std::vector<std::string> messages;
    std::vector<unsigned> answers;
    corvix::testing::TempWorkDir dir;

  private:
    MessageHook previousHook_;
};

}  // namespace corvix::rubrica::testing
