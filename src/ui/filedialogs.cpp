#include "ui/filedialogs.h"

#include <QFileDialog>
#include <QFileInfo>

QString WidgetFileDialogs::openFileName(const QString& filter) {
    return QFileDialog::getOpenFileName(parent_.data(), QString(), QString(), filter);
}

QString WidgetFileDialogs::saveFileName(const QString& title, const QString& proposedPath,
                                        const QString& filter) {
    QFileDialog dialog(parent_.data(), title, proposedPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QFileInfo(proposedPath).suffix());
    dialog.selectFile(proposedPath);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}
