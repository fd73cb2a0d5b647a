#pragma once

#include <QDialog>

class Agenda;

// The notice-days dialog: shows GiorniPreavviso and changes it on OK.
class FormGg : public QDialog {
    Q_OBJECT
public:
    FormGg(Agenda& agenda, QWidget* parent = nullptr);
    ~FormGg() override;

private:
    struct Private;
    Private* d;
};

// The "&Giorni preavviso" command: remembers the value, shows FormGg modally
// and saves the settings only when the value changed.
void OpenNoticeDaysDialog(Agenda& agenda, QWidget* parent);
