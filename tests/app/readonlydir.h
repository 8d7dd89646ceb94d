#pragma once

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QProcess>
#include <QString>

#include <unistd.h>

// Makes a directory refuse new entries for as long as it lives. Permission
// bits do not stop root, so under root the directory is made immutable
// instead; ok() tells whether either worked (a test skips otherwise).
class ReadOnlyDir
{
public:
    explicit ReadOnlyDir(const QString& path)
        : m_path(path)
    {
        if (::geteuid() == 0) {
            m_immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
        } else {
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                            | QFileDevice::ExeGroup);
        }
        QFile probe(QDir(path).filePath(QStringLiteral(".probe")));
        m_ok = !probe.open(QIODevice::WriteOnly);
        if (!m_ok)
            probe.remove();
    }

    ~ReadOnlyDir()
    {
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    ReadOnlyDir(const ReadOnlyDir&) = delete;
    ReadOnlyDir& operator=(const ReadOnlyDir&) = delete;

    bool ok() const { return m_ok; }

private:
    QString m_path;
    bool m_immutable = false;
    bool m_ok = false;
};
