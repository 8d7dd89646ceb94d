#include "app/documentfile.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* errorText)
{
    const auto fail = [&](const QString& reason) {
        qWarning() << "Cannot save file:" << reason;
        if (errorText)
            *errorText = reason;
        return false;
    };

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // A short write leaves the old file in place: the temporary file is
    // dropped instead of committed.
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

JsonFileRead readJsonObjectFile(const QString& path)
{
    JsonFileRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot open file:" << path;
        result.errorText = QStringLiteral("Cannot open file %1: %2").arg(path, file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qWarning() << "Cannot open file:" << path;
        result.errorText = QStringLiteral("Cannot read file %1: %2").arg(path, file.errorString());
        return result;
    }

    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (doc.isNull() || !doc.isObject()) {
        qWarning() << "Invalid JSON file:" << path;
        if (doc.isNull())
            result.errorText = QStringLiteral("%1 is not a valid JSON file (%2 at offset %3).")
                                   .arg(path, parseError.errorString())
                                   .arg(parseError.offset);
        else
            result.errorText = QStringLiteral("%1 does not hold a project or a diagram: "
                                              "its top level is not a JSON object.")
                                   .arg(path);
        return result;
    }
    result.object = doc.object();
    result.ok = true;
    return result;
}
