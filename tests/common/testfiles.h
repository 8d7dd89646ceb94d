#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QString>
#include <QTest>

// Whole files for tests: reading, writing, and the JSON documents kept under
// tests/data.

// The file's bytes; empty when it cannot be read.
inline QByteArray fileContents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces the file with bytes; a failed check when that cannot be done.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The JSON document of a file under tests/data, named from there (such as
// "diagram/golden_diagram.json"); an empty document when it cannot be read.
inline QJsonDocument testDataJson(const QString& relativePath)
{
    return QJsonDocument::fromJson(fileContents(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/") + relativePath));
}
