#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVersionNumber>

#include <memory>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

// A throwaway PostgreSQL cluster for tests and benchmarks: initdb into a
// temporary folder, a server on 127.0.0.1 at a free port, stopped and
// removed when the object goes. A watchdog process does the same should the
// program die before that.
//
// initdb refuses to run as root; a root caller runs the server programs as
// the "postgres" user, who then owns the folder.
class TempPostgresCluster
{
public:
    TempPostgresCluster() = default;
    TempPostgresCluster(const TempPostgresCluster&) = delete;
    TempPostgresCluster& operator=(const TempPostgresCluster&) = delete;
    ~TempPostgresCluster() { stop(); }

    // True when the environment asks for a server to be there (continuous
    // integration): a cluster that cannot start is then a failure, not a
    // reason to skip.
    static bool required() { return qgetenv("QUILLMAP_REQUIRE_POSTGRES") == "1"; }

    // Creates and starts the cluster. Connections from 127.0.0.1 are trusted
    // unless a line of hbaLines (pg_hba.conf syntax, placed first) says
    // otherwise. On failure *error says why and nothing is left behind.
    bool start(QString* error, const QStringList& hbaLines = {})
    {
        m_binDir = findBinDir();
        if (m_binDir.isEmpty())
            return fail(error, QStringLiteral("no PostgreSQL server programs (initdb) were found"));
        m_root = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmap-pg-XXXXXX"));
        if (!m_root->isValid())
            return fail(error, QStringLiteral("cannot make a temporary folder"));
        if (::geteuid() == 0) {
            const passwd* user = ::getpwnam("postgres");
            if (!user)
                return fail(error, QStringLiteral("running as root and there is no postgres user"));
            if (::chown(QFile::encodeName(m_root->path()).constData(), user->pw_uid, user->pw_gid) != 0)
                return fail(error, QStringLiteral("cannot give the temporary folder to the postgres user"));
            m_runAs = {QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")};
        }
        QString output;
        if (!runServerProgram(QStringLiteral("initdb"),
                              {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), superuser(),
                               QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                               QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                              &output))
            return fail(error, QStringLiteral("initdb failed: ") + output);
        QFile hba(dataDir() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(error, QStringLiteral("cannot write pg_hba.conf"));
        QStringList lines = hbaLines;
        lines << QStringLiteral("local all all trust") << QStringLiteral("host all all 127.0.0.1/32 trust");
        hba.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        hba.close();
        startWatchdog();
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_port = freePort();
            if (m_port <= 0)
                return fail(error, QStringLiteral("no free port on 127.0.0.1"));
            const QString options = QStringLiteral("-p %1 -c listen_addresses=127.0.0.1 -c unix_socket_directories=%2 "
                                                   "-c fsync=off -c full_page_writes=off")
                                        .arg(m_port)
                                        .arg(m_root->path());
            if (runServerProgram(QStringLiteral("pg_ctl"),
                                 {QStringLiteral("-D"), dataDir(), QStringLiteral("-l"), logFile(), QStringLiteral("-w"),
                                  QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"), options,
                                  QStringLiteral("start")},
                                 &output)) {
                m_running = true;
                return true;
            }
        }
        QFile log(logFile());
        const QByteArray logText = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        return fail(error, QStringLiteral("the server did not start: ") + output + QString::fromUtf8(logText));
    }

    // Stops the server and removes its folder; nothing when not started.
    void stop()
    {
        if (m_running) {
            runServerProgram(QStringLiteral("pg_ctl"),
                             {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"), QStringLiteral("immediate"),
                              QStringLiteral("-w"), QStringLiteral("stop")},
                             nullptr);
            m_running = false;
        }
        m_root.reset();   // removes the folder
        if (m_watchdog > 0) {
            ::kill(static_cast<pid_t>(m_watchdog), SIGTERM);
            m_watchdog = 0;
        }
    }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }
    static QString superuser() { return QStringLiteral("postgres"); }
    QString psqlProgram() const { return m_binDir + QStringLiteral("/psql"); }

    // Runs psql against database (as the superuser, over TCP) with the
    // extra arguments; output gets standard output, or the error text.
    bool psql(const QString& database, const QStringList& args, QString* output) const
    {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(psqlProgram(), QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-w"),
                                                 QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                                 QStringLiteral("-h"), host(), QStringLiteral("-p"),
                                                 QString::number(m_port), QStringLiteral("-U"), superuser(),
                                                 QStringLiteral("-d"), database}
                                         + args);
        const bool done = process.waitForFinished(600000);
        const bool ok = done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (output)
            *output = QString::fromUtf8(ok ? process.readAllStandardOutput() : process.readAllStandardError());
        return ok;
    }

    // The rows of a query, each a list of its fields.
    QList<QStringList> query(const QString& database, const QString& sql, bool* ok = nullptr) const
    {
        QString output;
        const bool done = psql(database,
                               {QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-F"),
                                QStringLiteral("\x1f"), QStringLiteral("-c"), sql},
                               &output);
        if (ok)
            *ok = done;
        QList<QStringList> rows;
        if (!done) {
            qWarning().noquote() << "psql failed:" << output;
            return rows;
        }
        const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines)
            rows.append(line.split(QChar(0x1f)));
        return rows;
    }

private:
    QString dataDir() const { return m_root->path() + QStringLiteral("/data"); }
    QString logFile() const { return m_root->path() + QStringLiteral("/server.log"); }

    // Takes down whatever start() had made so far.
    bool fail(QString* error, const QString& text)
    {
        stop();
        if (error)
            *error = text;
        return false;
    }

    static QString findBinDir()
    {
        QVersionNumber best;
        QString bestDir;
        const QDir lib(QStringLiteral("/usr/lib/postgresql"));
        for (const QString& version : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString dir = lib.filePath(version) + QStringLiteral("/bin");
            const QVersionNumber number = QVersionNumber::fromString(version);
            if (QFileInfo(dir + QStringLiteral("/initdb")).isExecutable() && number > best) {
                best = number;
                bestDir = dir;
            }
        }
        return bestDir;
    }

    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return -1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        int port = -1;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    bool runServerProgram(const QString& name, const QStringList& args, QString* output) const
    {
        QStringList command = m_runAs;
        command << m_binDir + QLatin1Char('/') + name << args;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardInputFile(QProcess::nullDevice());
        process.setWorkingDirectory(m_root->path());   // readable by the postgres user
        process.start(command.takeFirst(), command);
        const bool done = process.waitForFinished(120000);
        if (output)
            *output = QString::fromLocal8Bit(process.readAll());
        return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // A detached shell that waits for this program to end and then stops
    // the server and removes the folder, in case the destructor never runs.
    void startWatchdog()
    {
        const QString script = QStringLiteral(
            "while kill -0 \"$1\" 2>/dev/null; do sleep 1; done; "
            "$2 \"$3/pg_ctl\" -D \"$4/data\" -m immediate -w stop; rm -rf \"$4\"");
        QProcess watchdog;
        watchdog.setProgram(QStringLiteral("/bin/sh"));
        watchdog.setArguments({QStringLiteral("-c"), script, QStringLiteral("watchdog"),
                               QString::number(QCoreApplication::applicationPid()), m_runAs.join(QLatin1Char(' ')),
                               m_binDir, m_root->path()});
        watchdog.setStandardInputFile(QProcess::nullDevice());
        watchdog.setStandardOutputFile(QProcess::nullDevice());
        watchdog.setStandardErrorFile(QProcess::nullDevice());
        watchdog.startDetached(&m_watchdog);
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_binDir;
    QStringList m_runAs;
    int m_port = 0;
    bool m_running = false;
    qint64 m_watchdog = 0;
};
