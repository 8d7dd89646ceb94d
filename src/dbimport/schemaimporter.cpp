#include "dbimport/schemaimporter.h"

#include "dbimport/inspectorjson.h"
#include "model/logcategories.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QProcessEnvironment>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#endif

SchemaImporter::SchemaImporter(QObject* parent)
    : QObject(parent)
{
}

SchemaImporter::~SchemaImporter()
{
    stop();
}

QString SchemaImporter::defaultPythonExecutable()
{
    const QString debianPython = QStringLiteral("/usr/bin/python3");
    return QFileInfo(debianPython).isExecutable() ? debianPython : QStringLiteral("python3");
}

QString SchemaImporter::defaultScriptPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tools/schema_inspector.py");
}

qint64 SchemaImporter::processId() const
{
    return m_process ? m_process->processId() : 0;
}

void SchemaImporter::start(const QString& python, const QString& script, const QStringList& args)
{
    stop();

    m_process = new QProcess(this);
    m_reported = false;
    m_output.clear();
    m_stderrBytes = 0;
    m_partialLine.clear();
    m_lastLine.clear();
    m_stderrDecoder = QStringDecoder(QStringDecoder::Utf8);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);

    // The password goes into the child's environment, never onto its
    // command line; "--password" stays there with an empty value, in the
    // form it came in ("--password=secret" or "--password" "secret").
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString passwordVariable = QString::fromLatin1(PasswordVariable);
    const QString passwordOption = QStringLiteral("--password");
    const QString passwordPrefix = passwordOption + QLatin1Char('=');
    environment.remove(passwordVariable);
    // A script path that begins with "-" would be read by the interpreter
    // as one of its own options.
    QStringList arguments{script.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + script : script};
    arguments.reserve(args.size() + 1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        QString password;
        if (arg.startsWith(passwordPrefix)) {
            password = arg.mid(passwordPrefix.size());
            arguments.append(passwordPrefix);
        } else {
            arguments.append(arg);
            if (arg == passwordOption && i + 1 < args.size()) {
                password = args.at(++i);
                arguments.append(QString());
            }
        }
        if (!password.isEmpty())
            environment.insert(passwordVariable, password);
    }
    m_process->setProcessEnvironment(environment);

    // Nothing ever answers a prompt: the child reads end-of-file at once.
    m_process->setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // A group of its own, so that stop() reaches what the child starts.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
#endif

    connect(m_process, &QProcess::finished, this, &SchemaImporter::onProcessFinished);
    connect(m_process, &QProcess::errorOccurred, this, &SchemaImporter::onProcessError);
    connect(m_process, &QProcess::readyReadStandardError, this, &SchemaImporter::onStderrReady);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &SchemaImporter::onStdoutReady);
    m_process->start(python, arguments, QIODevice::ReadOnly);
}

void SchemaImporter::stop()
{
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    m_reported = true;
    m_output = QByteArray();
    // Whatever the kill makes the process report is of no interest any more.
    disconnect(process, nullptr, this, nullptr);
    if (process->state() != QProcess::NotRunning) {
#ifdef Q_OS_UNIX
        const qint64 pid = process->processId();
        if (pid > 0)
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
#endif
        process->kill();
        process->waitForFinished(StopWaitMs);
    }
    process->deleteLater();
}

QString SchemaImporter::readStderr()
{
    const QByteArray bytes = m_process->readAllStandardError();
    const qint64 room = std::max<qint64>(0, ErrorLimit - m_stderrBytes);
    m_stderrBytes += bytes.size();
    const QString text = m_stderrDecoder.decode(bytes);
    // Follow the lines across reads: a read may end inside one.
    m_partialLine += text;
    const QStringList lines = m_partialLine.split(QLatin1Char('\n'));
    for (qsizetype i = lines.size() - 2; i >= 0; --i) {
        const QString line = lines.at(i).trimmed();
        if (!line.isEmpty()) {
            m_lastLine = line.left(ReasonLimit);
            break;
        }
    }
    m_partialLine = lines.last().right(ReasonLimit);
    // Past the limit the text is dropped; only the last line is kept.
    return bytes.size() <= room ? text.trimmed() : text.left(room).trimmed();
}

bool SchemaImporter::collectStdout()
{
    const QByteArray bytes = m_process->readAllStandardOutput();
    if (m_output.size() + bytes.size() <= OutputLimit) {
        m_output += bytes;
        return true;
    }
    stop();
    m_output = QByteArray();
    emit failed(QStringLiteral("The inspector's output was too large (more than %1 MiB), so the import was stopped.")
                    .arg(OutputLimit / (1024 * 1024)));
    return false;
}

QString SchemaImporter::lastStderrLine() const
{
    const QString partial = m_partialLine.trimmed();
    return partial.isEmpty() ? m_lastLine : partial;
}

void SchemaImporter::reportFailure(const QString& message)
{
    if (m_reported)
        return;
    m_reported = true;
    m_output = QByteArray();
    emit failed(message);
}

void SchemaImporter::onStderrReady()
{
    if (!m_process || sender() != m_process || m_reported)
        return;
    const bool relay = m_stderrBytes < ErrorLimit;
    const QString text = readStderr();
    if (!relay)
        return;
    if (!text.isEmpty())
        qCDebug(lcDbImport).noquote() << "Schema inspector:" << text;
    emit progressMessage(text);
}

void SchemaImporter::onStdoutReady()
{
    if (!m_process || sender() != m_process || m_reported)
        return;
    collectStdout();
}

void SchemaImporter::onProcessError(QProcess::ProcessError error)
{
    if (!m_process || sender() != m_process || m_reported)
        return;
    switch (error) {
    case QProcess::FailedToStart:
        reportFailure(QStringLiteral("Failed to start Python. Check that the Python executable path is correct."));
        break;
    case QProcess::Crashed:
        // The finish notification with crash status follows; this one
        // reports the crash and that one finds the run reported.
        reportFailure(QStringLiteral("Python process crashed."));
        break;
    default:
        // A read or write error while the child still runs is not the end:
        // its finish notification brings the outcome.
        if (m_process->state() == QProcess::NotRunning)
            reportFailure(QStringLiteral("Process error: %1").arg(static_cast<int>(error)));
        else
            qWarning() << "Schema inspector process error" << error << "while it runs";
        break;
    }
}

void SchemaImporter::onProcessFinished(int exitCode, QProcess::ExitStatus status)
{
    if (!m_process || sender() != m_process || m_reported)
        return;
    const bool relay = m_stderrBytes < ErrorLimit;
    const QString rest = readStderr();
    if (relay && !rest.isEmpty())
        emit progressMessage(rest);
    if (m_reported)   // a receiver of the progress stopped the run
        return;
    if (status == QProcess::CrashExit) {
        reportFailure(QStringLiteral("Python process terminated unexpectedly."));
        return;
    }
    if (exitCode != 0) {
        // The inspector's reason is the last line it wrote to standard
        // error, which the progress display may have shown and replaced
        // long ago.
        reportFailure(QStringLiteral("Python exited with code %1.\n%2").arg(exitCode).arg(lastStderrLine()));
        return;
    }
    if (!collectStdout())
        return;
    const QByteArray output = std::exchange(m_output, QByteArray());
    if (output.isEmpty()) {
        reportFailure(QStringLiteral("Python produced no output."));
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(output, &parseError);
    if (document.isNull() || !document.isObject()) {
        reportFailure(QStringLiteral("Invalid JSON from Python: %1").arg(parseError.errorString()));
        return;
    }
    const QJsonObject schema = document.object();
    // A schema beyond what Open reads would give a project that cannot be
    // opened again once saved.
    QString excess;
    const QJsonObject erJson = convertInspectorJson(schema, &excess);
    if (!excess.isEmpty()) {
        reportFailure(QStringLiteral("The schema cannot be imported. %1").arg(excess));
        return;
    }
    m_reported = true;
    emit finished(erJson, schema);
}
