// The logon windows driven with real mouse clicks and keys on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "framework/prompt.h"
#include "security/debug_ini.h"
#include "security/logon_image.h"
#include "security/logon_location.h"
#include "security/logon_normal.h"
#include "security/master_password.h"
#include "security/password_text.h"
#include "security/session.h"
#include "security/theme_source.h"
#include "security/window_hooks.h"

using namespace corvix::security;
using corvix::vault::GsdRecord;

namespace {

// Pictures made on the fly; a tiny GIF is written byte by byte (Qt reads GIF, not writes).
class Pictures {
  public:
    QString make(const QString& name, int w, int h, const char* format) {
        QImage img(w, h, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient g(0, 0, w, h);
        g.setColorAt(0, QColor(40, 90, 160));
        g.setColorAt(1, QColor(230, 200, 120));
        p.fillRect(img.rect(), g);
        p.setPen(Qt::white);
        for (int x = 0; x < w; x += 40) p.drawEllipse(QPoint(x, h / 2), 15, 15);
        p.end();
        const QString path = dir_.filePath(name);
        img.save(path, format);
        return path;
    }
    QString gif() {
        static const unsigned char bytes[] = {
            'G',  'I', 'F', '8', '9', 'a',  1, 0, 1, 0,   0x80, 0, 0,   0xff, 0xff,
            0xff, 0,   0,   0,   '!', 0xf9, 4, 1, 0, 0,   0,    0, ',', 0,    0,
            0,    0,   1,   0,   1,   0,    0, 2, 2, 'D', 1,    0, ';'};
        const QString path = dir_.filePath("one.gif");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        return path;
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
};

std::string letters() {
    std::string s;
    for (int i = 0; i < 128; ++i) s.push_back(static_cast<char>('A' + i % 26));
    return s;
}

GsdRecord gridTheme(const QString& image, int columns, int rows,
                    const char* style = "Actual Size") {
    GsdRecord t;
    t.GSD_ID = 5;
    t.Image = image.toStdString();
    t.Columns = static_cast<uint8_t>(columns);
    t.Rows = static_cast<uint8_t>(rows);
    t.Basis = "Grid";
    t.Style = style;
    t.ShowGrid = 1;
    t.GridColor = 0x0000FF;
    t.Password = letters();
    return t;
}

// Clicks the picture at p (view coordinates) on whatever control lies there.
void clickPicture(PictureView* view, QPoint p) {
    QWidget* child = view->childAt(p);
    QWidget* target = child ? child : view;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(view, p));
}

QPoint cellCentre(const ThemeCell& c) {
    return {c.box.x + c.box.w / 2, c.box.y + c.box.h / 2};
}

class LogonWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetSecurity();
        previousPrompt_ = corvix::framework::setPrompt(&prompt_);
        useLogonWindows();  // as the windowed program does
    }
    void TearDown() override {
        corvix::framework::setPrompt(previousPrompt_);
        setThemeSource(nullptr);
        resetSecurity();
    }
    corvix::framework::ScriptedPrompt prompt_;
    Pictures pictures_;

  private:
    corvix::framework::Prompt* previousPrompt_ = nullptr;
};

}  // namespace

TEST_F(LogonWindowsTest, NormalWindowTitleEntryAndResult) {
    Logon_Normal logon("");
    EXPECT_EQ(logon.windowTitle(), "Enter Master Password");
    Logon_Normal wizard("Enter current master password");
    EXPECT_EQ(wizard.windowTitle(), "Enter current master password");
    EXPECT_EQ(logon.okButton()->text(), "&OK");

    logon.show();
    QTest::keyClicks(logon.entryLine(), QString(130, 'k'));
    QTest::mouseClick(logon.okButton(), Qt::LeftButton);
    EXPECT_FALSE(logon.isVisible());
    EXPECT_TRUE(logon.logonResult().ok);
    EXPECT_EQ(logon.logonResult().entry.view(), std::string(128, 'k'));

    wizard.show();
    QTest::keyClicks(wizard.entryLine(), "typed");
    QTest::mouseClick(wizard.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(wizard.logonResult().text(), "**Cancelled**");

    // Closed from outside (a logoff) after typing: a cancel as well.
    Logon_Normal closed("");
    closed.show();
    QTest::keyClicks(closed.entryLine(), "half");
    closed.close();
    EXPECT_FALSE(closed.logonResult().ok);
    EXPECT_EQ(closed.logonResult().text(), "**Cancelled**");
}

TEST_F(LogonWindowsTest, ImageWindowEchoesClicksAndShowsAtMost64Stars) {
    Logon_Image w("Enter new master password",
                  gridTheme(pictures_.make("p.png", 300, 200, "PNG"), 3, 3));
    w.show();
    EXPECT_EQ(w.windowTitle(), "Enter new master password");
    EXPECT_EQ(w.echoLine()->text(), "Password:   (0)");
    ASSERT_EQ(w.cells().size(), 9u);
    std::string expected;
    for (int i = 0; i < 3; ++i) {
        clickPicture(w.pictureView(), cellCentre(w.cells()[i]));
        expected.push_back(static_cast<char>(w.cells()[i].symbol));
    }
    EXPECT_EQ(w.echoLine()->text(), "Password:  *** (3)");
    EXPECT_EQ(w.entry().text().view(), expected);
    EXPECT_TRUE(w.okButton()->hasFocus() || !QApplication::focusWidget());
    for (int i = 3; i < 70; ++i) clickPicture(w.pictureView(), cellCentre(w.cells()[4]));
    EXPECT_EQ(w.echoLine()->text(), "Password:  " + QString(64, '*') + " (70)");
    EXPECT_TRUE(w.isVisible());  // with a prompt the window never accepts by itself
    QTest::mouseClick(w.okButton(), Qt::LeftButton);
    EXPECT_EQ(w.logonResult().entry.size(), 70u);
}

TEST_F(LogonWindowsTest, ImageWindowAtLogonClosesOnTheCompletingClick) {
    GsdRecord theme = gridTheme(pictures_.make("p.jpg", 240, 240, "JPG"), 2, 3);
    Logon_Image probe("x", theme);
    // Cells (1,3) and (2,1) share a symbol; the password uses three distinct cells.
    const auto& cells = probe.cells();
    std::string password = {static_cast<char>(cells[0].symbol), static_cast<char>(cells[4].symbol),
                            static_cast<char>(cells[5].symbol)};
    MasterCopy().Password = password;

    Logon_Image w("", theme);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Enter Master Password");
    clickPicture(w.pictureView(), cellCentre(cells[0]));
    clickPicture(w.pictureView(), cellCentre(cells[4]));
    EXPECT_TRUE(w.isVisible());
    clickPicture(w.pictureView(), cellCentre(cells[5]));
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.logonResult().ok);
    EXPECT_EQ(w.logonResult().entry.view(), password);
}

TEST_F(LogonWindowsTest, ResetThenTheFullSequenceSucceeds) {
    GsdRecord theme = gridTheme(pictures_.make("p.bmp", 200, 200, "BMP"), 3, 3);
    Logon_Image w("", theme);
    MasterCopy().Password = {static_cast<char>(w.cells()[1].symbol),
                             static_cast<char>(w.cells()[8].symbol)};
    w.show();
    clickPicture(w.pictureView(), cellCentre(w.cells()[3]));  // a wrong start
    clickPicture(w.pictureView(), cellCentre(w.cells()[3]));
    EXPECT_EQ(w.echoLine()->text(), "Password:  ** (2)");
    QTest::mouseClick(w.resetButton(), Qt::LeftButton);
    EXPECT_EQ(w.echoLine()->text(), "Password:   (0)");
    EXPECT_TRUE(w.isVisible());
    clickPicture(w.pictureView(), cellCentre(w.cells()[1]));
    clickPicture(w.pictureView(), cellCentre(w.cells()[8]));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.logonResult().entry.view(), MasterCopy().Password);
}

TEST_F(LogonWindowsTest, SmallGridsAreNormalisedInTheWindow) {
    Logon_Image w("p", gridTheme(pictures_.make("p.png", 200, 200, "PNG"), 1, 3));
    EXPECT_EQ(w.cells().size(), 8u);
    EXPECT_EQ(w.theme().Columns, 2);
    EXPECT_EQ(w.theme().Rows, 4);
}

TEST_F(LogonWindowsTest, ActualSizeShowsTheNaturalPicture) {
    Logon_Image w("p", gridTheme(pictures_.make("p.png", 260, 180, "PNG"), 3, 3));
    w.show();
    ASSERT_TRUE(w.pictureLoaded());
    EXPECT_EQ(w.pictureView()->size(), QSize(260, 180));
    EXPECT_EQ(w.pictureView()->pos(), QPoint(1, 1));
    EXPECT_EQ(w.pictureView()->parentWidget()->size(), QSize(262, 182));
    EXPECT_GE(w.width(), ImageLogonDialog::kDesignedWindow.w);
}

TEST_F(LogonWindowsTest, BestFitKeepsProportionsWhenResized) {
    Logon_Image w("p", gridTheme(pictures_.make("p.png", 400, 200, "PNG"), 3, 3, "Best Fit"));
    w.show();
    for (QSize s : {QSize(500, 300), QSize(300, 500), QSize(700, 400)}) {
        w.resize(s);
        QApplication::processEvents();
        const QSize frame = w.pictureView()->parentWidget()->size();
        const Size want =
            pictureSize(PictureStyle::BestFit, {400, 200}, {frame.width(), frame.height()});
        EXPECT_EQ(w.pictureView()->size(), QSize(want.w, want.h));
        EXPECT_NEAR(double(w.pictureView()->width() + 2) / (w.pictureView()->height() + 2), 2.0,
                    0.05);
        // The cells follow the picture.
        const ThemeCell& last = w.cells().back();
        EXPECT_EQ(last.box.x + last.box.w,
                  2 * w.pictureView()->width() / 3 + w.pictureView()->width() / 3);
    }
}

TEST_F(LogonWindowsTest, ResizableStretchesTheFrame) {
    Logon_Image w("p", gridTheme(pictures_.make("p.png", 400, 200, "PNG"), 3, 3, "Resizable"));
    w.show();
    w.resize(500, 500);
    QApplication::processEvents();
    const QSize frame = w.pictureView()->parentWidget()->size();
    EXPECT_EQ(w.pictureView()->size(), frame - QSize(2, 2));
    const double ratio = double(w.pictureView()->width()) / w.pictureView()->height();
    EXPECT_GT(std::abs(ratio - 2.0), 0.3);  // proportions not kept
}

TEST_F(LogonWindowsTest, PicturesInJpgGifBmpAndPngLoad) {
    for (const QString& path :
         {pictures_.make("a.jpg", 64, 48, "JPG"), pictures_.make("a.bmp", 64, 48, "BMP"),
          pictures_.make("a.png", 64, 48, "PNG")}) {
        Logon_Image w("p", gridTheme(path, 2, 2));
        EXPECT_TRUE(w.pictureLoaded()) << path.toStdString();
        EXPECT_EQ(w.pictureView()->size(), QSize(64, 48));
    }
    Logon_Image g("p", gridTheme(pictures_.gif(), 2, 2));
    EXPECT_TRUE(g.pictureLoaded());
    EXPECT_EQ(g.pictureView()->size(), QSize(1, 1));
}

TEST_F(LogonWindowsTest, UnloadablePictureIsReportedAndCellsStillWork) {
    Logon_Image w("", gridTheme(pictures_.path("missing.jpg"), 2, 2));
    MasterCopy().Password = std::string(1, static_cast<char>(w.cells()[3].symbol));
    w.show();
    EXPECT_FALSE(w.pictureLoaded());
    EXPECT_GT(w.pictureView()->width(), 100);
    QImage shot = w.pictureView()->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    clickPicture(w.pictureView(), cellCentre(w.cells()[3]));
    EXPECT_TRUE(w.logonResult().ok);
}

TEST_F(LogonWindowsTest, ScreenshotOfTheGridWindow) {
    GsdRecord theme = gridTheme(pictures_.make("shot.png", 360, 240, "PNG"), 4, 3);
    Logon_Image w("", theme);
    w.show();
    clickPicture(w.pictureView(), cellCentre(w.cells()[2]));
    clickPicture(w.pictureView(), cellCentre(w.cells()[7]));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QImage picture = w.pictureView()->grab().toImage();
    // A red grid line where the first cell's box lies, the picture inside it.
    EXPECT_EQ(QColor(picture.pixel(1, 20)), QColor(255, 0, 0));
    EXPECT_NE(QColor(picture.pixel(20, 20)), QColor(255, 0, 0));
    QDir().mkpath(CORVIX_SCREENSHOT_DIR);
    const QString file = QStringLiteral(CORVIX_SCREENSHOT_DIR) + "/logon-image.png";
    ASSERT_TRUE(w.grab().save(file));
    EXPECT_EQ(QImage(file).size(), w.size());
}

namespace {
GsdRecord locationTheme(const QString& image, bool hint) {
    GsdRecord t;
    t.GSD_ID = 9;
    t.Image = image.toStdString();
    t.Basis = "Location";
    t.Style = "Best Fit";  // ignored: location themes show the actual size
    t.ShowHint = hint;
    t.GridColor = 0x00FF00;
    return t;
}
}  // namespace

TEST_F(LogonWindowsTest, LocationClicksWithinTheToleranceCompleteTheLogon) {
    const QString image = pictures_.make("loc.png", 480, 480, "PNG");
    const Rect pic{0, 0, 480, 480};
    const std::string stored =
        toUtf8(encodeLocation({100, 100}, pic) + encodeLocation({300, 350}, pic));
    MasterCopy().Password = stored;
    Logon_ImageByLocation w(stored, "", locationTheme(image, true), false);
    w.show();
    EXPECT_EQ(w.pictureView()->size(), QSize(480, 480));
    EXPECT_FALSE(w.coordinateLine()->isVisible());
    QTest::mouseClick(w.pictureView(), Qt::LeftButton, {}, QPoint(112, 92));  // off by a little
    EXPECT_EQ(w.echoLine()->text(), "Password:  * (1)");
    EXPECT_EQ(w.entry().marks().size(), 1u);
    EXPECT_TRUE(w.isVisible());
    QTest::mouseClick(w.pictureView(), Qt::LeftButton, {}, QPoint(290, 360));
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.logonResult().ok);
    EXPECT_EQ(w.logonResult().entry.view(), stored);  // the stored codes, not the clicks' own
}

TEST_F(LogonWindowsTest, LocationClickJustOutsideKeepsItsOwnCode) {
    const QString image = pictures_.make("loc.png", 480, 480, "PNG");
    const Rect pic{0, 0, 480, 480};
    const std::u32string code = encodeLocation({100, 100}, pic);
    const Point e = *decodeLocation(code, pic);
    int x = e.x;
    while (decodeLocation(encodeLocation({x + 1, 100}, pic), pic)->x <= e.x + 21) ++x;
    MasterCopy().Password = toUtf8(code);
    Logon_ImageByLocation w(toUtf8(code), "", locationTheme(image, false), false);
    w.show();
    QTest::mouseClick(w.pictureView(), Qt::LeftButton, {}, QPoint(x + 1, 100));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.lastCode(), encodeLocation({x + 1, 100}, pic));
    EXPECT_TRUE(w.entry().marks().empty());  // no hints asked for
    QTest::mouseClick(w.resetButton(), Qt::LeftButton);
    EXPECT_EQ(w.echoLine()->text(), "Password:   (0)");
    QTest::mouseClick(w.pictureView(), Qt::LeftButton, {}, QPoint(x, 100));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.logonResult().entry.view(), toUtf8(code));
}

TEST_F(LogonWindowsTest, DebugIniTurnsOnTheMouseAids) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_FALSE(mouseDebugEnabled());
    QFile f(dir.filePath("DEBUG.INI"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Other]\nMouse=0\n[debug]\nmouse = 1\n");
    f.close();
    EXPECT_TRUE(mouseDebugEnabled());
    EXPECT_EQ(readIniNumber("DEBUG.INI", "Other", "Mouse", 7), 0);
    EXPECT_EQ(readIniNumber("DEBUG.INI", "Debug", "Missing", 7), 7);
    QDir::setCurrent(previous);

    const QString image = pictures_.make("loc.png", 240, 120, "PNG");
    const std::string expected = toUtf8(encodeLocation({50, 50}, {0, 0, 240, 120}));
    Logon_ImageByLocation w(expected, "Re-enter new password to confirm",
                            locationTheme(image, true), true);
    w.show();
    EXPECT_TRUE(w.coordinateLine()->isVisible());
    QTest::qWait(250);
    EXPECT_TRUE(w.coordinateLine()->text().startsWith("X: "));
    EXPECT_TRUE(w.coordinateLine()->text().contains("  Y: "));
    QTest::mouseClick(w.pictureView(), Qt::LeftButton, {}, QPoint(200, 100));
    ASSERT_EQ(w.entry().marks().size(), 1u);
    ASSERT_TRUE(w.entry().marks()[0].debugBox.has_value());
    EXPECT_EQ(*w.entry().marks()[0].debugBox, *decodeLocation(toChars(expected), {0, 0, 240, 120}));
    EXPECT_TRUE(w.isVisible());  // a prompt: never accepts by itself

    // The hint ellipse (green) around the click and the red box where it was expected.
    const ClickMark& mark = w.entry().marks()[0];
    QImage shot = w.pictureView()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(mark.centre.x, mark.centre.y - mark.tolerance)), QColor(0, 255, 0));
    EXPECT_EQ(QColor(shot.pixel(mark.debugBox->x - mark.tolerance, mark.debugBox->y)),
              QColor(255, 0, 0));
    QDir().mkpath(CORVIX_SCREENSHOT_DIR);
    EXPECT_TRUE(w.grab().save(QStringLiteral(CORVIX_SCREENSHOT_DIR) + "/logon-location.png"));
}

namespace {
struct RecordingHooks : WindowHooks {
    std::vector<std::string> calls;
    void opened(const std::string& p, QWidget&) override { calls.push_back("open " + p); }
    void restore(const std::string& p, QWidget&) override { calls.push_back("restore " + p); }
    void save(const std::string& p, QWidget&) override { calls.push_back("save " + p); }
    void closed(const std::string& p, QWidget&) override { calls.push_back("close " + p); }
};
bool has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}
}  // namespace

TEST_F(LogonWindowsTest, WindowsKeepTheirPositionsUnderTheirProcedureNames) {
    RecordingHooks hooks;
    WindowHooks* previous = setWindowHooks(&hooks);
    {
        Logon_Image actual("p", gridTheme(pictures_.make("p.png", 100, 100, "PNG"), 2, 2));
        actual.show();
        actual.reject();
    }
    EXPECT_TRUE(has(hooks.calls, "open Logon:Image"));
    EXPECT_FALSE(has(hooks.calls, "restore Logon:Image"));  // actual size: not restored
    EXPECT_TRUE(has(hooks.calls, "save Logon:Image"));
    EXPECT_TRUE(has(hooks.calls, "close Logon:Image"));
    hooks.calls.clear();
    {
        Logon_Image fit("p", gridTheme(pictures_.make("p.png", 100, 100, "PNG"), 2, 2, "Best Fit"));
        Logon_Normal normal("");
        normal.show();
        normal.move(40, 40);
        QApplication::processEvents();
    }
    EXPECT_TRUE(has(hooks.calls, "restore Logon:Image"));
    EXPECT_TRUE(has(hooks.calls, "restore Logon:Normal"));
    EXPECT_TRUE(has(hooks.calls, "close Logon:Normal"));
    setWindowHooks(previous);
}

namespace {
struct LargePlacement : WindowHooks {
    void restore(const std::string&, QWidget& w) override {
        w.move(30, 40);
        w.resize(900, 700);
    }
};
}  // namespace

TEST_F(LogonWindowsTest, LocationWindowRestoresItsPositionButIsSizedAroundThePicture) {
    LargePlacement hooks;
    WindowHooks* previous = setWindowHooks(&hooks);
    Logon_ImageByLocation w("", "Enter new master password",
                            locationTheme(pictures_.make("l.png", 240, 120, "PNG"), false), false);
    setWindowHooks(previous);
    EXPECT_EQ(w.pos(), QPoint(30, 40));
    EXPECT_EQ(w.width(), ImageLogonDialog::kDesignedWindow.w);  // narrow picture: designed width
    EXPECT_LT(w.height(), 400);
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.pictureView()->parentWidget()->size(), QSize(242, 122));
}

TEST_F(LogonWindowsTest, CheckMasterPasswordRunsTheImageWindowModally) {
    MemoryThemeSource themes;
    GsdRecord theme = gridTheme(pictures_.make("p.png", 200, 200, "PNG"), 3, 3);
    themes.add(theme);
    setThemeSource(&themes);
    Logon_Image probe("x", theme);
    MasterCopy().Password = {static_cast<char>(probe.cells()[0].symbol),
                             static_cast<char>(probe.cells()[8].symbol)};
    MasterCopy().UseMasterPasswordImage = 1;
    MasterCopy().GSD_ID = theme.GSD_ID;
    bool clicked = false;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<Logon_Image*>(QApplication::activeModalWidget());
        if (!w) return;
        clickPicture(w->pictureView(), cellCentre(w->cells()[0]));
        clickPicture(w->pictureView(), cellCentre(w->cells()[8]));
        clicked = true;
    });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    safety.start(5000);
    EXPECT_TRUE(CheckMasterPassword());
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(prompt_.asked().empty());

    // A theme that has gone: the window does not open, the result is a cancel.
    MasterCopy().GSD_ID = 99;
    EXPECT_EQ(AskPassword(true, "Enter current master password", "Grid", ""), "**Cancelled**");
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].text, "Invalid theme selected.  Contact Halden for support.");
    EXPECT_EQ(AskPassword(true, "Enter current master password", "Location", ""), "**Cancelled**");
    EXPECT_EQ(prompt_.asked().size(), 2u);
}
