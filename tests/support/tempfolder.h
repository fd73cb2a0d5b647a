#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A fresh temporary folder made the current folder for the life of the
// object; the old current folder comes back afterwards.
class TempCurrentFolder {
public:
    TempCurrentFolder() : old_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~TempCurrentFolder() { QDir::setCurrent(old_); }
    TempCurrentFolder(const TempCurrentFolder&) = delete;
    TempCurrentFolder& operator=(const TempCurrentFolder&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(file(name));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString& name) const { return QFile::exists(file(name)); }

private:
    QString old_;
    QTemporaryDir dir_;
};
