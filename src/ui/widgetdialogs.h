#pragma once

#include <QPointer>
#include <QWidget>

#include "core/dialogs.h"

class QInputDialog;

// The real message and input boxes, on top of the window given as parent.
class WidgetDialogs final : public Dialogs {
  public:
    explicit WidgetDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon icon,
                      const std::optional<QString>& title) override;
    QString input(const QString& prompt, const std::optional<QString>& title,
                  const QString& defaultText) override;
    std::optional<QString> password(const QString& prompt,
                                    const std::optional<QString>& title) override;

    // The title a box shows: the program's name when it has none of its own.
    static QString boxTitle(const std::optional<QString>& title);

    // Widens the input box's field to show the whole text, as far as the
    // screen allows.
    static void fitInputToText(QInputDialog& dialog, const QString& text);

  private:
    QPointer<QWidget> parent_;
};
