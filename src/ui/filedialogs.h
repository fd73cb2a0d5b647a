#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// The file-open dialog, so tests can answer it without showing one.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The full path of the chosen file, or an empty text when the user cancels.
    // filter is in Qt's form, e.g. "*.wav (*.wav)".
    virtual QString OpenFileName(const QString& filter) = 0;
};

// The platform's file-open dialog.
class WidgetFileDialogs final : public FileDialogs {
  public:
    explicit WidgetFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParentWidget(QWidget* parent) { parent_ = parent; }
    QString OpenFileName(const QString& filter) override;

  private:
    QPointer<QWidget> parent_;
};
