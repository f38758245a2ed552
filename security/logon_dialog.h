// The common part of the three logon windows: the title from the prompt, the result
// rule, TouchActivity on every accepted control, and the window hooks (procedure name,
// saved position). ImageLogonDialog adds the picture frame, echo line and buttons the
// two image windows share.
#pragma once

#include <QDialog>
#include <QImage>
#include <string>

#include "security/logon_entry.h"
#include "security/logon_picture.h"
#include "vault/records.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace corvix::security {

inline constexpr const char* kLogonTitle = "Enter Master Password";

class LogonDialog : public QDialog {
    Q_OBJECT
  public:
    LogonDialog(std::string procedure, const std::string& prompt, QWidget* parent);
    ~LogonDialog() override;
    // The entry when OK was pressed, else a cancel.
    const LogonResult& logonResult() const { return result_; }
    // Hands the result over (the entry leaves the window).
    LogonResult takeLogonResult() { return std::move(result_); }
    const std::string& procedure() const { return procedure_; }

  protected:
    // Accepts with entry as the result.
    void acceptWith(::runtime::Secret entry);
    // Saves the position from now on (after the window has been placed).
    void trackPosition() { tracking_ = true; }
    void done(int r) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    std::string procedure_;
    LogonResult result_;
    bool tracking_ = false;
    bool closed_ = false;
};

class ImageLogonDialog : public LogonDialog {
    Q_OBJECT
  public:
    ImageLogonDialog(std::string procedure, const std::string& prompt, vault::GsdRecord theme,
                     LogonEntry::Kind kind, const std::string& expected, bool debug,
                     QWidget* parent);

    const LogonEntry& entry() const { return entry_; }
    const vault::GsdRecord& theme() const { return theme_; }
    PictureView* pictureView() const { return view_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* echoLine() const { return echo_; }
    bool pictureLoaded() const { return !image_.isNull(); }
    // The picture's place in the view's own coordinates.
    Rect pictureRect() const;

    // Designed sizes, from which the actual-size window keeps its margins.
    static constexpr Size kDesignedWindow{420, 340};

  protected:
    LogonEntry entry_;
    vault::GsdRecord theme_;
    PictureStyle style_;
    PictureView* view_ = nullptr;
    QLabel* echo_ = nullptr;

    // Lays the picture out in its frame for the style (subclasses add cells).
    void layoutPicture();
    virtual void pictureLaidOut(Size picture) {}
    // Window sized around an actual-size picture, within the screen.
    void sizeAroundPicture();
    // Shows the echo; at logon, accepts on its own once the entry is the password.
    void refreshEcho();
    virtual void resetEntry();

  private:
    QImage image_;
    PictureFrame* frame_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    Size picture_;
    bool layingOut_ = false;
};

}  // namespace corvix::security
