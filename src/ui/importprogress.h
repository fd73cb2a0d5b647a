#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

class CalendarImporter;
class QWidget;

// The progress bar of a calendar import: shown when reading a file takes
// more than a second, with "Annulla", which stops the reading. It blocks
// only the window it belongs to; timers and alarms go on.
class ImportProgress : public QObject {
    Q_OBJECT
  public:
    explicit ImportProgress(CalendarImporter& importer, QObject* parent = nullptr);
    ~ImportProgress() override;

    // How long a reading goes on before the bar shows.
    static constexpr int kDelayMs = 1000;
    void setDelay(int ms) { delayMs_ = ms; }

    // The bar while it shows, else null.
    QProgressDialog* dialog() const { return dialog_; }
    // The window the bar belongs to; null while there is none.
    void setWindow(QWidget* window) { window_ = window; }

  private:
    void start(const QString& path);
    void show();
    void end();

    CalendarImporter& importer_;
    QPointer<QWidget> window_;
    QTimer delay_;
    QString path_;
    int value_ = 0;
    int delayMs_ = kDelayMs;
    QPointer<QProgressDialog> dialog_;
};
