#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

class QMenu;

// The program's icon in the notification area. The real one wraps
// QSystemTrayIcon; tests put a fake in its place and emit activated().
class TrayIcon : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // Whether the desktop has a notification area at all.
    virtual bool isAvailable() const = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& tip) = 0;
    virtual void setContextMenu(QMenu* menu) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isShown() const = 0;
    // A balloon with the text beside the icon, where the desktop shows them.
    virtual void showMessage(const QString& title, const QString& text) {
        Q_UNUSED(title);
        Q_UNUSED(text);
    }

  Q_SIGNALS:
    void activated(QSystemTrayIcon::ActivationReason reason);
};

class SystemTrayIcon final : public TrayIcon {
    Q_OBJECT
  public:
    explicit SystemTrayIcon(QObject* parent = nullptr);
    bool isAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& tip) override;
    void setContextMenu(QMenu* menu) override;
    void show() override;
    void hide() override;
    bool isShown() const override;
    void showMessage(const QString& title, const QString& text) override;

  private:
    QSystemTrayIcon* icon_;
};
