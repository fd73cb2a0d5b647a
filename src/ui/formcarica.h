#pragma once

#include <QDialog>
#include <QPixmap>

class Agenda;

// The background picture chooser. Shown modally by the main window; however
// it closes it stores the folder it shows in PercorsoImmagini and saves the
// settings. On confirmation it emits backgroundChosen with the whole picture
// and copies the file to "Sfondo.dat".
class FormCarica : public QDialog {
    Q_OBJECT
public:
    FormCarica(Agenda& agenda, QWidget* parent = nullptr);
    ~FormCarica() override;

Q_SIGNALS:
    void backgroundChosen(const QPixmap& picture);

private:
    struct Private;
    Private* d;
};

// The picture kept in "Sfondo.dat" in the current folder, or a null pixmap
// when there is none or it cannot be read.
QPixmap LoadBackgroundPicture();
