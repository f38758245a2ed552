// TrayIcon: the frame's icon in the notification area. It turns the frame's minimize
// and restore into hide-to-tray and show-from-tray and translates mouse actions on the
// icon into frame events (1089 left click, 1090 right click, 1091 left double-click,
// 1092 right double-click, 1093 tray host re-created).
#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

namespace corvix::app {

enum TrayEvent : int {
    kEventTrayCallback = 1088,
    kEventLeftClick = 1089,
    kEventRightClick = 1090,
    kEventLeftDoubleClick = 1091,
    kEventRightDoubleClick = 1092,
    kEventTaskbarCreated = 1093,
};

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    TrayIcon();
    ~TrayIcon() override;

    uint8_t ACTIVE = 0;
    uint8_t ALWAYSREFRESH = 0;
    uint8_t MINIMIZETOTASKBAR = 0;
    uint8_t NOSUBCLASSING = 0;
    uint32_t UID = 0;
    std::string ICON;
    std::string TIP;

    // Records the frame, adds the icon and, when both options are 0, takes over the
    // frame's minimize/restore.
    void Init(QWidget* frame, const std::string& tip, const std::string& icon, uint32_t id,
              bool minimizeToTaskbar, bool noSubclassing);
    void Add(const std::string& icon, const std::string& tip);
    void Remove();
    void Kill();
    virtual void HideToTray();
    virtual void Restore();
    virtual void OnLeftClick() {}
    virtual void OnLeftDoubleClick() {}
    virtual void OnRightClick() {}

    // "0corvix.ico" -> "0corvix_ico": a file-style name becomes a resource name.
    static std::string ResourceName(std::string name);
    bool isShown() const;
    QSystemTrayIcon* systemTrayIcon() { return &icon_; }
    QWidget* frame() const { return frame_; }

    // Checks whether the tray host changed (it was restarted) and, if so, reports
    // 1093; the frame's one-second timer calls it.
    void CheckTrayHost();

  signals:
    void frameEvent(int event);  // 1089 .. 1093, for the frame's thread

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon icon_;
    QPointer<QWidget> frame_;
    bool handlersRegistered_ = false;
    bool added_ = false;
    uint32_t trayHost_ = 0;
};

// The window that owns the system tray selection of the frame's screen (0 = no tray
// host). Used to notice a restarted tray host.
uint32_t currentTrayHost();

}  // namespace corvix::app
