#include "ui/backgroundchooser.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>

#include "core/agenda.h"
#include "core/fileio.h"

namespace {

constexpr char kBackgroundFileName[] = "Sfondo.dat";
constexpr int kPreviewLeft = 376;
constexpr int kPreviewTop = 32;
constexpr int kPreviewWidth = 161;
constexpr int kPreviewHeight = 233;
constexpr int kPathRole = Qt::UserRole;

// The preview: shows its picture stretched to its own size and confirms the
// choice when clicked.
class PreviewImage : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;
  Q_SIGNALS:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) Q_EMIT clicked();
        QLabel::mousePressEvent(event);
    }
};

// Reads a picture by its content, whatever its name says: "Sfondo.dat"
// carries no extension, and a renamed file should still load.
QImage readPicture(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

struct Volume {
    QString root;
    QString caption;
};

// The drives the user can choose: the mounted volumes, which on Windows are
// the drive letters.
QList<Volume> availableVolumes() {
    QList<Volume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid() || !storage.isReady()) continue;
        const QString root = QDir::cleanPath(storage.rootPath());
        QString caption = QDir::toNativeSeparators(root);
#ifdef Q_OS_WIN
        caption = caption.left(2).toLower();
#endif
        const QString name = storage.displayName();
        if (!name.isEmpty() && name != storage.rootPath())
            caption += QStringLiteral(" [%1]").arg(name);
        volumes.append({root, caption});
    }
    std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
        return QString::compare(a.root, b.root, Qt::CaseInsensitive) < 0;
    });
    return volumes;
}

QString volumeRootOf(const QString& path) {
    return QDir::cleanPath(QStorageInfo(path).rootPath());
}

// The pictures folder under the program's folder. The name is written "Img";
// a case-sensitive file system may hold it as "img" instead.
QString defaultPictureFolder(const QString& startFolder) {
    const QDir base(startFolder);
    const QString preferred = base.filePath(QStringLiteral("Img"));
    if (QFileInfo(preferred).isDir()) return QDir::toNativeSeparators(preferred);
    const QString lower = base.filePath(QStringLiteral("img"));
    if (QFileInfo(lower).isDir()) return QDir::toNativeSeparators(lower);
    return QDir::toNativeSeparators(preferred);
}

QFont sansSerif(bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

}  // namespace

struct BackgroundChooser::Private {
    explicit Private(Agenda& a) : agenda(a) {}

    Agenda& agenda;
    QListWidget* file1 = nullptr;
    QTreeWidget* dir1 = nullptr;
    QComboBox* drive1 = nullptr;
    PreviewImage* image1 = nullptr;
    QLabel* labelRis = nullptr;
    QLabel* picture1 = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOk = nullptr;

    QString folder;
    QString selectedPath;  // the file whose picture the preview shows
    QPixmap picture;
    bool closed = false;
};

BackgroundChooser::BackgroundChooser(Agenda& agenda, QWidget* parent)
    : QDialog(parent), d(new Private(agenda)) {
    setObjectName(QStringLiteral("FormCarica"));
    setWindowTitle(QStringLiteral("Carica Immagine"));
    setFixedSize(548, 349);
    setFont(sansSerif(false));
    // The chooser carries no icon of its own: an empty one keeps the
    // program's icon off its title bar.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));

    auto* label1 = new QLabel(QStringLiteral("Nome File:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setFont(sansSerif(true));
    label1->setGeometry(8, 8, 65, 17);

    d->file1 = new QListWidget(this);
    d->file1->setObjectName(QStringLiteral("File1"));
    d->file1->setAccessibleName(QStringLiteral("Nome File"));
    d->file1->setGeometry(8, 32, 169, 266);
    d->file1->setSelectionMode(QAbstractItemView::SingleSelection);
    label1->setBuddy(d->file1);

    d->dir1 = new QTreeWidget(this);
    d->dir1->setObjectName(QStringLiteral("Dir1"));
    d->dir1->setAccessibleName(QStringLiteral("Cartelle"));
    d->dir1->setGeometry(192, 32, 169, 231);
    d->dir1->setHeaderHidden(true);
    d->dir1->setColumnCount(1);
    d->dir1->setRootIsDecorated(false);
    d->dir1->setItemsExpandable(false);
    d->dir1->setExpandsOnDoubleClick(false);
    d->dir1->setIndentation(10);
    // The chain of open folders cannot be folded, so it shows no branch marks.
    d->dir1->setStyleSheet(
        QStringLiteral("QTreeView::branch { image: none; border-image: none; }"));

    d->drive1 = new QComboBox(this);
    d->drive1->setObjectName(QStringLiteral("Drive1"));
    d->drive1->setAccessibleName(QStringLiteral("Unità"));
    d->drive1->setGeometry(192, 280, 169, 21);

    auto* image2 = new QLabel(this);
    image2->setObjectName(QStringLiteral("Image2"));
    image2->setFrameStyle(QFrame::Box | QFrame::Plain);
    image2->setLineWidth(1);
    image2->setGeometry(kPreviewLeft, kPreviewTop, kPreviewWidth, kPreviewHeight);

    d->image1 = new PreviewImage(this);
    d->image1->setObjectName(QStringLiteral("Image1"));
    d->image1->setAccessibleName(QStringLiteral("Anteprima"));
    d->image1->setScaledContents(true);
    d->image1->setGeometry(kPreviewLeft, kPreviewTop, kPreviewWidth, kPreviewHeight);

    d->labelRis = new QLabel(this);
    d->labelRis->setObjectName(QStringLiteral("LabelRis"));
    d->labelRis->setAccessibleDescription(QStringLiteral("Dimensioni dell'immagine"));
    d->labelRis->setAutoFillBackground(true);
    QPalette cyanOnBlack = d->labelRis->palette();
    cyanOnBlack.setColor(QPalette::Window, Qt::black);
    cyanOnBlack.setColor(QPalette::WindowText, Qt::cyan);
    d->labelRis->setPalette(cyanOnBlack);
    d->labelRis->setGeometry(376, 280, 161, 17);

    d->cmdCancel = new QPushButton(QStringLiteral("Annulla"), this);
    d->cmdCancel->setObjectName(QStringLiteral("CmdAnnulla"));
    d->cmdCancel->setGeometry(8, 312, 65, 25);

    d->cmdOk = new QPushButton(QStringLiteral("Ok"), this);
    d->cmdOk->setObjectName(QStringLiteral("CmdOk"));
    d->cmdOk->setGeometry(472, 312, 65, 25);
    d->cmdOk->setEnabled(false);

    // Measures the clicked picture; never shown.
    d->picture1 = new QLabel(this);
    d->picture1->setObjectName(QStringLiteral("Picture1"));
    d->picture1->setGeometry(192, 312, 169, 33);
    d->picture1->hide();

    setTabOrder(d->file1, d->dir1);
    setTabOrder(d->dir1, d->drive1);
    setTabOrder(d->drive1, d->cmdCancel);
    setTabOrder(d->cmdCancel, d->cmdOk);

    d->file1->installEventFilter(this);
    d->dir1->installEventFilter(this);
    d->drive1->installEventFilter(this);
    connect(d->file1, &QListWidget::itemSelectionChanged, this, [this] { previewSelectedFile(); });
    connect(d->file1, &QListWidget::itemDoubleClicked, this, [this] { confirmPicture(); });
    connect(d->image1, &PreviewImage::clicked, this, [this] { confirmPicture(); });
    connect(d->cmdOk, &QPushButton::clicked, this, [this] { confirmPicture(); });
    connect(d->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A double click or Enter on a folder opens it, as in the system's own
    // folder lists; a single click only selects it.
    connect(d->dir1, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openFolderItem(item); });

    // The lists start at the program's folder, on its drive.
    const QString current = d->agenda.dataFolder();
    const QString currentRoot = volumeRootOf(current);
    int currentDrive = -1;
    for (const Volume& volume : availableVolumes()) {
        if (QString::compare(volume.root, currentRoot, Qt::CaseInsensitive) == 0) {
            currentDrive = d->drive1->count();
        }
        d->drive1->addItem(volume.caption, volume.root);
    }
    if (currentDrive < 0) {
        currentDrive = d->drive1->count();
        d->drive1->addItem(QDir::toNativeSeparators(currentRoot), currentRoot);
    }
    d->drive1->setCurrentIndex(currentDrive);
    connect(d->drive1, &QComboBox::currentIndexChanged, this,
            [this](int index) { showDrive(index); });
    setFolder(current);

    Settings& settings = d->agenda.settings();
    if (settings.picturesFolder.isEmpty()) {
        settings.picturesFolder = defaultPictureFolder(d->agenda.dataFolder());
    }
    // A folder that has gone away leaves the lists at the current folder,
    // without a message: the user simply browses from there.
    setFolder(settings.picturesFolder);
    clearPreview();
}

BackgroundChooser::~BackgroundChooser() {
    delete d;
}

QString BackgroundChooser::shownFolder() const {
    return d->folder;
}

bool BackgroundChooser::setFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    const QFileInfo info(folder);
    const QDir dir(folder);
    if (!info.isDir() || !info.isReadable() || !dir.isReadable()) return false;
    const QString path = QDir::cleanPath(dir.absolutePath());
    d->folder = path;

    // The folder list: the chain of folders from the root down to this one,
    // then its subfolders one level further in.
    d->dir1->clear();
    QStringList chain;
    for (QDir up(path);;) {
        chain.prepend(up.absolutePath());
        if (up.isRoot() || !up.cdUp()) break;
    }
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QTreeWidgetItem* parentItem = nullptr;
    for (const QString& link : chain) {
        const QString name =
            parentItem ? QFileInfo(link).fileName() : QDir::toNativeSeparators(link);
        auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(d->dir1);
        item->setText(0, name);
        item->setIcon(0, openIcon);
        item->setData(0, kPathRole, link);
        item->setExpanded(true);
        parentItem = item;
    }
    const QStringList subfolders =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subfolders) {
        auto* item = new QTreeWidgetItem(parentItem);
        item->setText(0, sub);
        item->setIcon(0, closedIcon);
        item->setData(0, kPathRole, dir.filePath(sub));
    }
    if (parentItem) {
        parentItem->setExpanded(true);
        d->dir1->setCurrentItem(parentItem);
        d->dir1->scrollToItem(parentItem);
    }

    // The file list follows the folder list. Name filters match whatever the
    // case of the extension.
    const QStringList pictures =
        dir.entryList({QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.gif")},
                      QDir::Files, QDir::Name | QDir::IgnoreCase);
    {
        const QSignalBlocker blocker(d->file1);
        d->file1->clear();
        for (const QString& name : pictures) {
            auto* item = new QListWidgetItem(name, d->file1);
            item->setData(kPathRole, dir.filePath(name));
        }
    }
    // The preview belonged to a file of the folder left behind.
    clearPreview();
    return true;
}

QSize BackgroundChooser::previewSize(const QSize& picture) {
    if (picture.width() <= 0 || picture.height() <= 0) return {0, 0};
    const double w = picture.width();
    const double h = picture.height();
    double width = kPreviewWidth;
    double height = h * kPreviewWidth / w;
    if (height > kPreviewHeight) {
        height = kPreviewHeight;
        width = w * kPreviewHeight / h;
    }
    return {qMax(1, qRound(width)), qMax(1, qRound(height))};
}

void BackgroundChooser::done(int result) {
    if (!d->closed) {
        d->closed = true;
        // Remembered even after a cancel, so the next opening starts where
        // the user left off.
        d->agenda.storePathSetting(&Settings::picturesFolder, QDir::toNativeSeparators(d->folder));
    }
    QDialog::done(result);
}

bool BackgroundChooser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter confirms only in the file list; in the folder list it
            // opens the folder, and nowhere in the lists does it fall through
            // to a button of the dialog.
            if (watched == d->file1) {
                confirmPicture();
                return true;
            }
            if (watched == d->dir1) {
                if (QTreeWidgetItem* item = d->dir1->currentItem()) openFolderItem(item);
                return true;
            }
            if (watched == d->drive1) return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BackgroundChooser::openFolderItem(QTreeWidgetItem* item) {
    const QString path = item->data(0, kPathRole).toString();
    // The lists are rebuilt once the click that asked for it is over: the
    // item under the mouse must outlive its own event.
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            if (setFolder(path)) return;
            d->agenda.dialogs().notice(QStringLiteral("Impossibile aprire la cartella %1.")
                                           .arg(QDir::toNativeSeparators(path)),
                                       MsgIcon::Exclamation, std::nullopt);
        },
        Qt::QueuedConnection);
}

void BackgroundChooser::showDrive(int index) {
    const QString root = d->drive1->itemData(index).toString();
    if (setFolder(root)) return;
    d->agenda.dialogs().notice(
        QStringLiteral("Impossibile leggere l'unità %1.").arg(d->drive1->itemText(index)),
        MsgIcon::Exclamation, std::nullopt);
    // Back to the drive of the folder still on show.
    const QSignalBlocker blocker(d->drive1);
    const int shown = d->drive1->findData(volumeRootOf(d->folder));
    if (shown >= 0) d->drive1->setCurrentIndex(shown);
}

void BackgroundChooser::previewSelectedFile() {
    const QList<QListWidgetItem*> selected = d->file1->selectedItems();
    if (selected.isEmpty()) {
        clearPreview();
        return;
    }
    const QString path = selected.first()->data(kPathRole).toString();
    const QImage image = readPicture(path);
    if (image.isNull()) {
        clearPreview();
        d->agenda.dialogs().notice(QStringLiteral("Il file %1 non può essere letto come immagine.")
                                       .arg(QDir::toNativeSeparators(path)),
                                   MsgIcon::Exclamation, std::nullopt);
        return;
    }
    d->picture = QPixmap::fromImage(image);
    d->picture1->setPixmap(d->picture);
    d->picture1->resize(d->picture.size());
    d->labelRis->setText(
        QStringLiteral("%1 x %2").arg(d->picture.width()).arg(d->picture.height()));
    d->image1->clear();
    d->image1->resize(previewSize(d->picture.size()));
    d->image1->setPixmap(d->picture);
    d->selectedPath = path;
    d->cmdOk->setEnabled(true);
}

void BackgroundChooser::clearPreview() {
    d->picture = QPixmap();
    d->selectedPath.clear();
    d->picture1->clear();
    d->image1->clear();
    d->labelRis->clear();
    d->cmdOk->setEnabled(false);
}

void BackgroundChooser::confirmPicture() {
    // Enter in an empty list, or a click on the empty preview, has nothing to
    // confirm.
    if (d->selectedPath.isEmpty() || d->picture.isNull()) return;
    Q_EMIT backgroundChosen(d->picture);

    QString reason;
    std::optional<QString> failure;
    if (const auto bytes = readWholeFile(d->selectedPath, &reason))
        failure = writeFileAtomically(d->agenda.filePath(QString::fromLatin1(kBackgroundFileName)),
                                      *bytes);
    else
        failure = reason;
    if (failure) {
        // The earlier copy stays whole: the next start shows the old picture.
        reportSaveFailure(d->agenda.dialogs(), QString::fromLatin1(kBackgroundFileName), *failure);
    }
    accept();
}

QPixmap loadBackgroundPicture(const QString& dataFolder) {
    const QFileInfo info{QDir(dataFolder).filePath(QString::fromLatin1(kBackgroundFileName))};
    if (!info.isFile()) return {};
    return QPixmap::fromImage(readPicture(info.filePath()));
}

#include "backgroundchooser.moc"
