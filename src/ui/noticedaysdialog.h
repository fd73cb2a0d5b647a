#pragma once

#include <QDialog>

class Agenda;
class QLineEdit;
class QPushButton;
class QWidget;

// The notice-days dialog: shows daysOfNotice and changes it on OK.
class NoticeDaysDialog : public QDialog {
    Q_OBJECT
  public:
    NoticeDaysDialog(Agenda& agenda, QWidget* parent = nullptr);
    ~NoticeDaysDialog() override;

    // The value the dialog opened with; Annulla puts it back.
    qint16 noticeDaysBefore() const;

    // Moves the green frame Shape1 so that it surrounds a control with this
    // position, 4 pixels wider on every side.
    void frameFocusedControl(qint16 top, qint16 left, qint16 height, qint16 width);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void normaliseDaysText();
    void acceptDays();
    void cancelDays();

    struct Private;
    Private* d;
};

// The "&Giorni preavviso" command: remembers the value, shows NoticeDaysDialog modally
// and saves the settings only when the value changed.
void openNoticeDaysDialog(Agenda& agenda, QWidget* parent);
