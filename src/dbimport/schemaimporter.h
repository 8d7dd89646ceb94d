#pragma once

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

// Runs the schema inspector as a child process through a Python interpreter
// and turns what it prints into a diagram. What the inspector writes to its
// standard error is relayed as progress; when it ends, its standard output
// is read as one JSON object and converted (convertInspectorJson).
//
// A run reports one outcome, finished or failed, and nothing after it. A run
// ended by stop() (or by destroying the importer) reports nothing at all.
//
// What the child prints is read as it comes, never without bound: past
// OutputLimit bytes of standard output the run is stopped and fails; past
// ErrorLimit bytes of standard error the rest is read and dropped (the last
// line is still followed, for the failure message).
//
// The child never sees a terminal: its standard input is the null device,
// and a password passed as the value of "--password" is handed over in the
// environment variable PasswordVariable instead, leaving an empty value on
// the command line where every user of the machine could read it. The child
// runs in a process group of its own, so that stop() also ends whatever it
// started (such as a database client).
//
// Lives on the GUI thread and is driven by the child's notifications; only
// stop() blocks, for up to StopWaitMs.
class SchemaImporter : public QObject
{
    Q_OBJECT
public:
    explicit SchemaImporter(QObject* parent = nullptr);
    ~SchemaImporter() override;

    // Ends any current run, then starts `python script args...`; returns at
    // once. A bare program name is looked up on the PATH.
    void start(const QString& python, const QString& script, const QStringList& args);
    // Kills the current run, if any, waits for it to end and releases it.
    // Emits nothing.
    void stop();

    // True from start() until the run has reported its outcome or stop().
    bool isRunning() const { return m_process && !m_reported; }
    // Process id of the running child; 0 when there is none.
    qint64 processId() const;

    // The interpreter offered by default: Debian's own Python when it is
    // there (its database modules are installed for it, not for Pythons
    // found earlier on the PATH), otherwise "python3".
    static QString defaultPythonExecutable();
    // The inspector installed with the program, in the "tools" folder next
    // to the executable.
    static QString defaultScriptPath();

    static constexpr const char* PasswordVariable = "QUILLMAP_DB_PASSWORD";
    static constexpr int StopWaitMs = 3000;
    // How much of the inspector's last line a failure message quotes.
    static constexpr int ReasonLimit = 2000;
    // The most of the child's standard output and standard error kept.
    static constexpr qint64 OutputLimit = qint64(256) * 1024 * 1024;
    static constexpr qint64 ErrorLimit = qint64(1024) * 1024;

signals:
    void finished(const QJsonObject& erJson, const QJsonObject& fullSchema);
    void failed(const QString& errorMessage);
    void progressMessage(const QString& text);

private slots:
    void onProcessFinished(int exitCode, QProcess::ExitStatus status);
    void onProcessError(QProcess::ProcessError error);
    void onStderrReady();
    void onStdoutReady();

private:
    // Emits failed for the current run unless it has reported already.
    void reportFailure(const QString& message);
    // Reads the standard-error bytes waiting now as text, trimmed (a
    // character split between two reads is kept for the next one).
    QString readStderr();
    // The last non-empty line of standard error so far.
    QString lastStderrLine() const;
    // Moves the standard output waiting now into m_output; false, with the
    // run stopped and its failure reported, when that passes OutputLimit.
    bool collectStdout();

    QProcess* m_process = nullptr;
    QByteArray m_output;      // standard output so far
    qint64 m_stderrBytes = 0; // standard error read so far
    QStringDecoder m_stderrDecoder;
    QString m_partialLine;    // standard error after its last line break
    QString m_lastLine;       // the last complete non-empty line of standard error
    bool m_reported = false;  // the current run has reported its outcome
};
