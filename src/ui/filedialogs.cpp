#include "ui/filedialogs.h"

#include <QFileDialog>

QString WidgetFileDialogs::OpenFileName(const QString& filter) {
    return QFileDialog::getOpenFileName(parent_.data(), QString(), QString(), filter);
}
