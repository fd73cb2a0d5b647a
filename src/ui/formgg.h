#pragma once

#include <QDialog>

class Agenda;
class QLineEdit;
class QPushButton;
class QWidget;

// The notice-days dialog: shows daysOfNotice and changes it on OK.
class FormGg : public QDialog {
    Q_OBJECT
  public:
    FormGg(Agenda& agenda, QWidget* parent = nullptr);
    ~FormGg() override;

    // The value the dialog opened with; Annulla puts it back.
    qint16 PreviousNoticeDays() const;

    // Moves the green frame Shape1 so that it surrounds a control with this
    // position, 4 pixels wider on every side.
    void FrameFocusedControl(qint16 top, qint16 left, qint16 height, qint16 width);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void TxtGG_LostFocus();
    void BtnOk_Click();
    void BtnAnnulla_Click();

    struct Private;
    Private* d;
};

// The "&Giorni preavviso" command: remembers the value, shows FormGg modally
// and saves the settings only when the value changed.
void OpenNoticeDaysDialog(Agenda& agenda, QWidget* parent);
