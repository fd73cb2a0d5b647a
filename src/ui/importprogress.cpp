#include "ui/importprogress.h"

#include <QDir>
#include <QProgressDialog>

#include "operations/calendarimport.h"

ImportProgress::ImportProgress(CalendarImporter& importer, QObject* parent)
    : QObject(parent), importer_(importer) {
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, &ImportProgress::show);
    connect(&importer, &CalendarImporter::readingStarted, this, &ImportProgress::start);
    connect(&importer, &CalendarImporter::progressed, this, [this](int permille) {
        value_ = permille;
        if (dialog_) dialog_->setValue(permille);
    });
    connect(&importer, &CalendarImporter::readingEnded, this, &ImportProgress::end);
}

ImportProgress::~ImportProgress() {
    delete dialog_;
}

void ImportProgress::start(const QString& path) {
    path_ = path;
    value_ = 0;
    delay_.start(delayMs_);
}

void ImportProgress::show() {
    if (dialog_) return;
    dialog_ = new QProgressDialog(
        QStringLiteral("Lettura del calendario \"%1\"...").arg(QDir::toNativeSeparators(path_)),
        QStringLiteral("Annulla"), 0, 1000, window_);
    dialog_->setObjectName(QStringLiteral("ImportProgress"));
    dialog_->setWindowTitle(QStringLiteral("IMPORTA CALENDARIO"));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setValue(value_);
    connect(dialog_, &QProgressDialog::canceled, &importer_, &CalendarImporter::cancelReading);
    dialog_->show();
}

void ImportProgress::end() {
    delay_.stop();
    if (!dialog_) return;
    dialog_->disconnect(&importer_);
    dialog_->hide();
    dialog_->deleteLater();
    dialog_ = nullptr;
}
