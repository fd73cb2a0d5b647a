#pragma once

#include <QDialog>
#include <QPixmap>

class Agenda;
class QSize;
class QTreeWidgetItem;

// The background picture chooser. Shown modally by the main window; however
// it closes it stores the folder it shows in picturesFolder and saves the
// settings. On confirmation it emits backgroundChosen with the whole picture
// and copies the file to "Sfondo.dat".
class BackgroundChooser : public QDialog {
    Q_OBJECT
  public:
    BackgroundChooser(Agenda& agenda, QWidget* parent = nullptr);
    ~BackgroundChooser() override;

    // The folder shown by the folder list and the file list.
    QString shownFolder() const;
    // Shows `folder` in the folder and file lists; false (and nothing
    // changes) when it does not exist or cannot be read.
    bool setFolder(const QString& folder);

    // The preview's size for a picture of `picture` pixels: 161 wide, or 233
    // high when 161 wide would be taller than that, keeping the proportions.
    static QSize previewSize(const QSize& picture);

    void done(int result) override;

  Q_SIGNALS:
    void backgroundChosen(const QPixmap& picture);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void openFolderItem(QTreeWidgetItem* item);
    void showDrive(int index);
    void previewSelectedFile();
    void clearPreview();
    void confirmPicture();

    struct Private;
    Private* d;
};

// The picture kept in "Sfondo.dat" in the data folder, or a null pixmap when
// there is none or it cannot be read.
QPixmap loadBackgroundPicture(const QString& dataFolder);
