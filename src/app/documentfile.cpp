#include "app/documentfile.h"

#include "model/filelimits.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <mutex>

#include <unistd.h>

namespace {

// A file-size limit (RLIMIT_FSIZE) kills a process that writes past it
// unless the signal is ignored; ignored, the write fails with EFBIG and the
// user reads why. Nothing else in the application uses the signal.
void ignoreFileSizeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

// The system's sentence for an errno value ("File too large", "No space
// left on device"); safe on any thread.
QString systemErrorText(int error)
{
    return qt_error_string(error);
}

// Writes every byte to the descriptor, going on after short writes and
// interruptions. 0 when all were written, else the errno of the failure.
int writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        data += written;
        left -= written;
    }
    return 0;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* errorText)
{
    const auto fail = [&](const QString& reason) {
        qWarning() << "Cannot save file:" << reason;
        if (errorText)
            *errorText = reason;
        return false;
    };

    ignoreFileSizeSignal();
    // A temporary file would replace what is no regular file.
    const QString refusal = filelimits::fileRefusal(path);
    if (!refusal.isEmpty())
        return fail(refusal);

    // Unbuffered, so that the bytes go straight through the descriptor below
    // and a failure is known with the system's own reason (Qt's buffered
    // write reports a failed flush as "Unknown error").
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    // A failed write leaves the old file in place: the temporary file is
    // dropped instead of committed.
    const int error = file.handle() >= 0 ? writeAll(file.handle(), bytes) : EBADF;
    if (error != 0) {
        file.cancelWriting();
        return fail(systemErrorText(error));
    }
    if (!file.commit()) {
        const int commitError = errno;
        QString reason = file.errorString();
        if ((reason.isEmpty() || reason == QLatin1String("Unknown error")) && commitError != 0)
            reason = systemErrorText(commitError);
        return fail(reason);
    }
    return true;
}

JsonFileRead readJsonObjectFile(const QString& path)
{
    JsonFileRead result;
    // A device or a pipe may never end (/dev/zero) or never begin; a file
    // beyond the limit is refused before a byte of it is read.
    const QString refusal = filelimits::fileRefusal(path, filelimits::MaxFileBytes);
    if (!refusal.isEmpty()) {
        qWarning() << "Cannot open file:" << path;
        result.errorText = refusal;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot open file:" << path;
        result.errorText = QStringLiteral("Cannot open file %1: %2").arg(path, file.errorString());
        return result;
    }
    // Never more than the limit, should the file have grown since.
    const QByteArray bytes = file.read(filelimits::MaxFileBytes + 1);
    if (bytes.size() > filelimits::MaxFileBytes) {
        qWarning() << "Cannot open file:" << path;
        result.errorText = filelimits::tooLargeText(filelimits::Measure::FileBytes, file.size());
        return result;
    }
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
    // Refused here, on the worker thread, before anything is built from it.
    const QString excess = filelimits::documentExcess(doc.object());
    if (!excess.isEmpty()) {
        qWarning() << "Cannot open file:" << path << excess;
        result.errorText = excess;
        return result;
    }
    result.object = doc.object();
    result.ok = true;
    return result;
}
