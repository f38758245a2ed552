#include "security_window_fixture.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "platform/storage/table.h"
#include "security/session.h"
#include "vault/access.h"
#include "vault/prime.h"
#include "vault/tables.h"

namespace corvix::security_test {

void SecurityWindowTest::SetUp() {
    GuiTest::SetUp();
    security::resetSecurity();
    security::setLogonRunner([this](const security::LogonRequest& r) {
        asked_.push_back({r.window, r.prompt, r.expected, security::MasterCopy().GSD_ID});
        security::LogonResult result;
        if (entries_.empty()) return result;  // unscripted: cancelled
        std::optional<std::string> e = std::move(entries_.front());
        entries_.pop_front();
        result.ok = e.has_value();
        if (e) result.entry.assign(*e);
        return result;
    });
}

void SecurityWindowTest::TearDown() {
    GuiTest::TearDown();
    security::resetSecurity();
    EXPECT_TRUE(entries_.empty()) << "password entries left unasked";
}

void SecurityWindowTest::storeMaster(const vault::MasRecord& record) {
    storage::Table t(vault::CVMAS());
    ASSERT_EQ(vault::openTable(t), 0);
    vault::MasBuffer b;
    b.record() = record;
    ASSERT_EQ(t.add(b), 0);
}

std::optional<vault::MasRecord> SecurityWindowTest::readMaster() {
    storage::Table t(vault::CVMAS());
    if (vault::openTable(t, storage::kReadOnly | storage::kDenyNone) != 0) return std::nullopt;
    vault::MasBuffer b;
    t.set(storage::kPhysicalOrder);
    if (t.next(b) != 0) return std::nullopt;
    vault::MasBuffer extra;
    EXPECT_NE(t.next(extra), 0) << "more than one master record";
    return b.record();
}

std::string SecurityWindowTest::picture(const std::string& name, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(30, 110, 60));
    g.setColorAt(1, QColor(240, 220, 140));
    p.fillRect(img.rect(), g);
    p.end();
    const std::string path = (dir_ / name).string();
    img.save(QString::fromStdString(path), "BMP");
    return path;
}

int32_t SecurityWindowTest::addTheme(const std::string& description, const std::string& basis,
                                     int columns, int rows) {
    storage::Table t(vault::CVGSD());
    EXPECT_EQ(vault::openTable(t), 0);
    vault::GsdBuffer b;
    vault::primeCVGSD(b.record());
    b->Description = description;
    b->Basis = basis;
    b->Columns = static_cast<uint8_t>(columns);
    b->Rows = static_cast<uint8_t>(rows);
    b->Image = picture(description + ".bmp");
    b->GridColor = 0x0000FF;
    EXPECT_EQ(vault::insertNumbered(t, b), 0);
    return b->GSD_ID;
}

std::optional<vault::GsdRecord> SecurityWindowTest::readTheme(int32_t id) {
    storage::Table t(vault::CVGSD());
    if (vault::openTable(t, storage::kReadOnly | storage::kDenyNone) != 0) return std::nullopt;
    vault::GsdBuffer b;
    b->GSD_ID = id;
    if (t.get(vault::gsd::K_GSD_ID, b) != 0) return std::nullopt;
    return b.record();
}

std::vector<std::string> SecurityWindowTest::messages() const {
    std::vector<std::string> out;
    for (const auto& a : prompt_.asked()) out.push_back(a.title + ": " + a.text);
    return out;
}

void SecurityWindowTest::settle() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void SecurityWindowTest::screenshot(QWidget* w, const std::string& name) {
    const std::filesystem::path dir = CORVIX_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    w->activateWindow();
    QApplication::processEvents();
    EXPECT_TRUE(w->grab().save(QString::fromStdString((dir / name).string())));
}

}  // namespace corvix::security_test
