#pragma once

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace kalvendo::test {

// A tiny tmpfs of its own, so a test can fill a disk without touching the
// machine's. Mounting needs root (CI and the sandbox have it); elsewhere
// available() is false and the test skips with a message.
class FullDisk {
public:
    explicit FullDisk(int kilobytes = 64) {
        if (!m_dir.isValid())
            return;
        m_mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"),
                               m_dir.path()}) == 0;
    }
    ~FullDisk() {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
    }
    bool available() const { return m_mounted; }
    QString file(const QString& name) const { return m_dir.path() + u'/' + name; }

    // Takes every free block, leaving the disk full.
    void fill() const {
        QFile filler(file(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        // tmpfs may still hold a partial page; take it with single bytes.
        while (filler.write("x", 1) == 1) {
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace kalvendo::test
