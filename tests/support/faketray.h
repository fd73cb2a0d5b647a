#pragma once

#include <QMenu>
#include <QPointer>

#include "notify/trayicon.h"

// A notification area the test switches on or off and clicks by emitting
// activated().
class FakeTray final : public TrayIcon {
  public:
    explicit FakeTray(bool available = true) : available_(available) {}
    bool isAvailable() const override { return available_; }
    void setIcon(const QIcon& icon) override { icon_ = icon; }
    void setToolTip(const QString& tip) override { tip_ = tip; }
    QString toolTip() const { return tip_; }
    void setContextMenu(QMenu* menu) override { menu_ = menu; }
    void show() override { shown_ = true; }
    void hide() override { shown_ = false; }
    bool isShown() const override { return shown_; }
    void showMessage(const QString& title, const QString& text) override {
        messages_ << title + QLatin1Char('|') + text;
    }

    void click(QSystemTrayIcon::ActivationReason reason) { Q_EMIT activated(reason); }

    QIcon icon_;
    QString tip_;
    QPointer<QMenu> menu_;
    QStringList messages_;  // "title|text" of each balloon

  private:
    bool available_;
    bool shown_ = false;
};
