#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <unistd.h>

// A small file system mounted for a test and taken away afterwards, where
// storage must refuse a write (read-only, or full). As root, permissions do
// not stop a write, so this is the way; without the rights to mount, ok()
// is false and the test skips.
class ScratchMount {
  public:
    explicit ScratchMount(const QString& options) {
        if (geteuid() != 0) return;
        mounted_ = run("mount", {"-t", "tmpfs", "-o", options, "tmpfs", dir_.path()});
    }
    ~ScratchMount() {
        if (mounted_) run("umount", {dir_.path()});
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool ok() const { return mounted_; }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    bool remountReadOnly() { return run("mount", {"-o", "remount,ro", dir_.path()}); }

  private:
    static bool run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    QTemporaryDir dir_;
    bool mounted_ = false;
};
