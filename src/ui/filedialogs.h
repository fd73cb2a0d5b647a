#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// The file-open and file-save dialogs, so tests can answer them without
// showing one.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The full path of the chosen file, or an empty text when the user cancels.
    // filter is in Qt's form, e.g. "*.wav (*.wav)".
    virtual QString openFileName(const QString& filter) = 0;
    // The full path to write to, starting from the proposed one, or an empty
    // text when the user cancels. A name typed without a suffix gets the
    // proposed one's. Answers cancel unless a dialog overrides it.
    virtual QString saveFileName(const QString& title, const QString& proposedPath,
                                 const QString& filter) {
        (void)title;
        (void)proposedPath;
        (void)filter;
        return {};
    }
};

// The platform's file-open dialog.
class WidgetFileDialogs final : public FileDialogs {
  public:
    explicit WidgetFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParentWidget(QWidget* parent) { parent_ = parent; }
    QString openFileName(const QString& filter) override;
    QString saveFileName(const QString& title, const QString& proposedPath,
                         const QString& filter) override;

  private:
    QPointer<QWidget> parent_;
};
