#include "common/testmain.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "dbimport/dbimportdialog.h"
#include "dbimport/schemaimporter.h"
#include "diagram/erscene.h"
#include "model/filelimits.h"

#include "common/importedproject.h"
#include "common/mainwindowparts.h"
#include "common/testfiles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSpinBox>
#include <QStatusBar>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// File > Import from Database in the main window, with the real inspector
// on a CSV folder and with fake inspectors for every other outcome.
namespace {

struct Message
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

bool processAlive(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = status.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && close + 2 < text.size() && text.at(close + 2) != 'Z' && text.at(close + 2) != 'X';
}

} // namespace

class TestImportDatabase : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void csvFolderBecomesProject();
    void saveDeclinedLeavesNoFile();
    void dialectFollowsInspector_data();
    void dialectFollowsInspector();
    void failureShowsOneBox_data();
    void failureShowsOneBox();
    void progressAndCancel();
    void endlessOutputStopsImport();
    void valuesNeverTakenForOptions();
    void failedImportKeepsDialogValues();
    void statusBarTellsWhatWasLeftOut();

private:
    // Answers the import dialog: accepted with these values (and the line
    // edits named in `fields`), or cancelled when python is empty. What the
    // dialog showed when it opened goes to `shown`.
    void answerDialog(const QString& python, const QString& script, const QString& code,
                      const QString& csvFolder = QString(), const QMap<QString, QString>& fields = {});
    // A /bin/sh fake inspector in the temporary folder.
    QString fake(const QString& name, const QByteArray& body);
    void triggerImport();
    // Waits until the import has ended (no progress dialog, no importer).
    bool waitForEnd(int timeout = 60000);
    QString shownFileName() const;
    QComboBox* dialectCombo() const;

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    QList<Message> messages;
    QStringList saveCaptions;
    QString saveAnswer;
    QMap<QString, QString> shown;
};

void TestImportDatabase::initTestCase()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QVERIFY(dir.isValid());
}

void TestImportDatabase::init()
{
    messages.clear();
    saveCaptions.clear();
    saveAnswer.clear();
    DialogHooks::setMessageHook([this](QMessageBox::Icon icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        if (title == QLatin1String("Unsaved Changes"))
            return QMessageBox::Discard;
        messages.append({icon, title, text});
        return QMessageBox::Ok;
    });
    DialogHooks::setSaveFileNameHook([this](QWidget*, const QString& caption, const QString&, const QString& filter) {
        saveCaptions << caption + QStringLiteral(" | ") + filter;
        return saveAnswer;
    });
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestImportDatabase::cleanup()
{
    QVERIFY(waitUntilIdle(window.get()));
    window.reset();
    DialogHooks::resetHooks();
}

void TestImportDatabase::answerDialog(const QString& python, const QString& script, const QString& code,
                                      const QString& csvFolder, const QMap<QString, QString>& fields)
{
    DialogHooks::setExecHook([=](QDialog* dialog) {
        auto* importDialog = qobject_cast<DbImportDialog*>(dialog);
        if (!importDialog)
            return int(QDialog::Rejected);
        shown.clear();
        for (const QLineEdit* edit : importDialog->findChildren<QLineEdit*>())
            if (edit->objectName().endsWith(QLatin1String("Edit")))
                shown.insert(edit->objectName(), edit->text());
        shown.insert(QStringLiteral("port"), QString::number(importDialog->findChild<QSpinBox*>()->value()));
        shown.insert(QStringLiteral("dialect"), importDialog->findChild<QComboBox*>()->currentData().toString());
        if (python.isEmpty())
            return int(QDialog::Rejected);
        importDialog->findChild<QLineEdit*>(QStringLiteral("pythonEdit"))->setText(python);
        importDialog->findChild<QLineEdit*>(QStringLiteral("scriptEdit"))->setText(script);
        auto* combo = importDialog->findChild<QComboBox*>(QStringLiteral("dialectCombo"));
        combo->setCurrentIndex(combo->findData(code));
        importDialog->findChild<QLineEdit*>(QStringLiteral("csvDirEdit"))->setText(csvFolder);
        for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
            if (it.key() == QLatin1String("port"))
                importDialog->findChild<QSpinBox*>()->setValue(it.value().toInt());
            else
                importDialog->findChild<QLineEdit*>(it.key())->setText(it.value());
        }
        importDialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        return importDialog->result();
    });
}

QString TestImportDatabase::fake(const QString& name, const QByteArray& body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(body);
    return path;
}

void TestImportDatabase::triggerImport()
{
    windowAction(window.get(), "actionImport_from_Database")->trigger();
}

bool TestImportDatabase::waitForEnd(int timeout)
{
    return QTest::qWaitFor(
        [this] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !window->findChild<QProgressDialog*>() && !window->findChild<SchemaImporter*>();
        },
        timeout);
}

QString TestImportDatabase::shownFileName() const
{
    return window->findChild<QLabel*>(QStringLiteral("labelFileName"))->text();
}

QComboBox* TestImportDatabase::dialectCombo() const
{
    return window->findChild<QComboBox*>(QStringLiteral("comboBoxDatabase"));
}

void TestImportDatabase::csvFolderBecomesProject()
{
    answerDialog(SchemaImporter::defaultPythonExecutable(), QStringLiteral(QUILLMAP_INSPECTOR_SCRIPT), "csv",
                 QStringLiteral(QUILLMAP_TEST_DATA_DIR "/dbimport/csv"));
    const QString path = dir.filePath(QStringLiteral("imported-csv.json"));
    saveAnswer = path;
    triggerImport();
    QVERIFY(waitForEnd());
    QVERIFY(waitUntilIdle(window.get()));
    QVERIFY2(messages.isEmpty(), messages.isEmpty() ? "" : qPrintable(messages.first().text));
    QCOMPARE(saveCaptions, QStringList{"Save imported diagram | JSON Files (*.json)"});
    QCOMPARE(canvasScene(window.get())->entityItems().size(), 4);
    QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("editProjectName"))->text(), QStringLiteral("Imported model"));
    QCOMPARE(dialectCombo()->currentText(), QStringLiteral("CSV files"));
    QCOMPARE(shownFileName(), QStringLiteral("imported-csv.json"));
    QCOMPARE(canvasScene(window.get())->currentFilePath(), path);

    const ImportedProject saved(path);
    QVERIFY(saved.model);
    QCOMPARE(saved.project->name(), QStringLiteral("Imported model"));
    QCOMPARE(saved.model->dialect(), QStringLiteral("CSV files"));
    QCOMPARE(saved.tableNames(), (QStringList{"customers", "orders", "products", "return_requests"}));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Imported 4 tables and no relationships from folder csv"));
}

void TestImportDatabase::saveDeclinedLeavesNoFile()
{
    // A project file is open; the import must not take its place on disk.
    const QString previous = dir.filePath(QStringLiteral("previous.json"));
    saveAnswer = previous;
    windowAction(window.get(), "action_Save")->trigger();
    QVERIFY(waitUntilIdle(window.get()));
    QCOMPARE(shownFileName(), QStringLiteral("previous.json"));
    QFile previousFile(previous);
    QVERIFY(previousFile.open(QIODevice::ReadOnly));
    const QByteArray before = previousFile.readAll();
    previousFile.close();

    answerDialog(QStringLiteral("/bin/sh"),
                 fake(QStringLiteral("one.sh"), "echo '{\"meta\": {\"dialect\": \"csv\"}, \"tables\": "
                                               "[{\"name\": \"t\", \"columns\": [{\"name\": \"c\", \"type\": \"text\"}]}]}'\n"),
                 "csv");
    saveAnswer.clear();
    saveCaptions.clear();
    triggerImport();
    QVERIFY(waitForEnd());
    QCOMPARE(saveCaptions.size(), 1);
    QCOMPARE(canvasScene(window.get())->entityItems().size(), 1);
    QCOMPARE(shownFileName(), QStringLiteral("No file"));
    QVERIFY(canvasScene(window.get())->currentFilePath().isEmpty());

    // The next Save asks for a file; declining it leaves the old one alone.
    windowAction(window.get(), "action_Save")->trigger();
    QVERIFY(waitUntilIdle(window.get()));
    QCOMPARE(saveCaptions.size(), 2);
    QVERIFY(saveCaptions.last().startsWith(QStringLiteral("Save Project")));
    QVERIFY(previousFile.open(QIODevice::ReadOnly));
    QCOMPARE(previousFile.readAll(), before);
}

void TestImportDatabase::dialectFollowsInspector_data()
{
    QTest::addColumn<QString>("dialect");   // the inspector's "meta" / "dialect"
    QTest::addColumn<QString>("combo");     // empty: the combo stays where it was
    QTest::newRow("postgresql") << "postgresql" << "PostgreSQL";
    QTest::newRow("csv") << "csv" << "CSV files";
    QTest::newRow("a name already") << "PostgreSQL" << "PostgreSQL";
    QTest::newRow("unknown") << "no such dialect" << QString();
}

void TestImportDatabase::dialectFollowsInspector()
{
    QFETCH(QString, dialect);
    QFETCH(QString, combo);
    dialectCombo()->setCurrentText(QStringLiteral("SQLite"));
    const QString before = dialectCombo()->currentText();
    answerDialog(QStringLiteral("/bin/sh"),
                 fake(QStringLiteral("dialect.sh"),
                      "echo '{\"meta\": {\"dialect\": \"" + dialect.toUtf8()
                          + "\"}, \"tables\": [{\"name\": \"a\"}, {\"name\": \"b\", \"columns\": [{\"name\": \"a_id\", "
                            "\"type\": \"integer\"}]}], \"constraints\": [{\"type\": \"FOREIGN KEY\", \"name\": \"f\", "
                            "\"table\": \"b\", \"columns\": [\"a_id\"], \"ref_table\": \"a\"}]}'\n"),
                 "postgresql");
    const QString path = dir.filePath(QStringLiteral("dialect.json"));
    saveAnswer = path;
    triggerImport();
    QVERIFY(waitForEnd());
    QVERIFY(waitUntilIdle(window.get()));
    QVERIFY(messages.isEmpty());
    QCOMPARE(dialectCombo()->currentText(), combo.isEmpty() ? before : combo);
    const ImportedProject saved(path);
    QVERIFY(saved.model);
    if (!combo.isEmpty())
        QCOMPARE(saved.model->dialect(), combo);
    QCOMPARE(saved.tableNames(), (QStringList{"a", "b"}));
    QCOMPARE(saved.keys(saved.table("b")), QStringList{"F(a_id)->a"});
}

void TestImportDatabase::failureShowsOneBox_data()
{
    QTest::addColumn<QString>("python");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("inspector's reason")
        << "/bin/sh" << QByteArray("echo 'Connecting…' >&2\nsleep 0.2\necho 'Could not connect to PostgreSQL: refused.' >&2\nexit 1\n")
        << "Python exited with code 1.\nCould not connect to PostgreSQL: refused.";
    QTest::newRow("usage") << "/bin/sh" << QByteArray("echo 'usage: x' >&2\necho 'x: error: bad' >&2\nexit 2\n")
                           << "Python exited with code 2.\nx: error: bad";
    QTest::newRow("no output") << "/bin/sh" << QByteArray("exit 0\n") << "Python produced no output.";
    QTest::newRow("an array") << "/bin/sh" << QByteArray("echo '[]'\n")
                              << "Invalid JSON from Python: no error occurred";
    QTest::newRow("killed") << "/bin/sh" << QByteArray("kill -9 $$\n") << "Python process crashed.";
    QTest::newRow("a name beyond the limit")
        << "/bin/sh"
        << QByteArray("printf '{\"tables\": [{\"name\": \"%s\"}]}' \"$(head -c 1001 /dev/zero | tr '\\0' n)\"\n")
        << QStringLiteral("The schema cannot be imported. %1")
               .arg(filelimits::tooLargeText(filelimits::Measure::NameLength, 1001));
    QTest::newRow("more tables than a diagram holds")
        << "/bin/sh"
        << QByteArray("seq 0 100000 | sed 's/.*/{\"name\": \"t&\"}/' | paste -sd, - | sed 's/^/{\"tables\": [/; s/$/]}/'\n")
        << QStringLiteral("The schema cannot be imported. %1")
               .arg(filelimits::tooLargeText(filelimits::Measure::Entities, 100001));
    QTest::newRow("no interpreter") << "/nonexistent/python3" << QByteArray("exit 0\n")
                                    << "Failed to start Python. Check that the Python executable path is correct.";
}

void TestImportDatabase::failureShowsOneBox()
{
    QFETCH(QString, python);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    ERScene* scene = canvasScene(window.get());
    const int before = int(scene->entityItems().size());
    answerDialog(python, fake(QStringLiteral("failing.sh"), body), "postgresql");
    triggerImport();
    QVERIFY(waitForEnd());
    QTest::qWait(200);   // nothing more comes
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().icon, QMessageBox::Critical);
    QCOMPARE(messages.first().title, QStringLiteral("Import failed"));
    QCOMPARE(messages.first().text, text);
    QVERIFY(saveCaptions.isEmpty());
    QCOMPARE(int(scene->entityItems().size()), before);
    QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("editProjectName"))->text(),
             QStringLiteral("Untitled Project"));
}

void TestImportDatabase::progressAndCancel()
{
    const QByteArray longLine(300, 'x');
    const QString script = fake(QStringLiteral("hang.sh"), "printf '%s\\n' '" + longLine
                                                               + "' >&2\necho $$ > \"$0.pid\"\nexec sleep 600\n");
    answerDialog(QStringLiteral("/bin/sh"), script, "postgresql");
    QFile::remove(script + QStringLiteral(".pid"));
    const int before = int(canvasScene(window.get())->entityItems().size());
    triggerImport();
    QProgressDialog* progress = window->findChild<QProgressDialog*>();
    QVERIFY(progress);
    QTRY_VERIFY_WITH_TIMEOUT(progress->isVisible(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(progress->labelText(), QString::fromLatin1(longLine.left(120)), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(script + QStringLiteral(".pid")), 30000);
    QFile pidFile(script + QStringLiteral(".pid"));
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    const qint64 pid = pidFile.readAll().trimmed().toLongLong();
    QVERIFY(processAlive(pid));

    // The user presses the dialog's Cancel button.
    QPushButton* cancel = nullptr;
    for (QPushButton* button : progress->findChildren<QPushButton*>())
        if (button->text() == QLatin1String("Cancel"))
            cancel = button;
    QVERIFY(cancel);
    cancel->click();
    QVERIFY(!processAlive(pid));
    QVERIFY(waitForEnd(10000));
    QTest::qWait(200);
    QVERIFY(messages.isEmpty());
    QVERIFY(saveCaptions.isEmpty());
    QCOMPARE(int(canvasScene(window.get())->entityItems().size()), before);

    // The window takes the next import as if nothing had happened.
    answerDialog(QStringLiteral("/bin/sh"),
                 fake(QStringLiteral("after.sh"), "echo '{\"tables\": [{\"name\": \"x\"}, {\"name\": \"y\"}]}'\n"),
                 "postgresql");
    triggerImport();
    QVERIFY(waitForEnd());
    QCOMPARE(canvasScene(window.get())->entityItems().size(), 2);
}

void TestImportDatabase::endlessOutputStopsImport()
{
    const QString script =
        fake(QStringLiteral("endless.sh"), "echo $$ > \"$0.pid\"\nexec yes '" + QByteArray(1000, 'x') + "'\n");
    answerDialog(QStringLiteral("/bin/sh"), script, "postgresql");
    triggerImport();
    // An event loop of its own: polling would read the flood a slice a time.
    QSignalSpy failed(window->findChild<SchemaImporter*>(), &SchemaImporter::failed);
    QVERIFY(failed.wait(120000));
    QVERIFY(waitForEnd());
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text,
             QStringLiteral("The inspector's output was too large (more than 256 MiB), so the import was stopped."));
    QVERIFY(!processAlive(fileContents(script + QStringLiteral(".pid")).trimmed().toLongLong()));
}

void TestImportDatabase::valuesNeverTakenForOptions()
{
    // A stand-in, named with a leading "-", parses its command line as the
    // inspector does and writes what it saw next to itself.
    const QString standIn = QStringLiteral("-stand in.py");
    fake(standIn, "import importlib.util, json, sys\n"
                  "found = importlib.util.spec_from_file_location('inspector', r'" QUILLMAP_INSPECTOR_SCRIPT "')\n"
                  "inspector = importlib.util.module_from_spec(found)\n"
                  "found.loader.exec_module(inspector)\n"
                  "options = inspector.parse_arguments(sys.argv[1:])\n"
                  "with open(sys.argv[0] + '.seen', 'w') as seen:\n"
                  "    json.dump({'argv': sys.argv[1:], 'options': options}, seen)\n"
                  "print('{\"tables\": [{\"name\": \"t\"}]}')\n");
    const QMap<QString, QString> fields{{"hostEdit", "-h evil host"},
                                        {"userEdit", "-U o'brien; $(touch pwned)"},
                                        {"passwordEdit", "-p \"d\" `touch pwned`"},
                                        {"schemaEdit", "--schema=other"},
                                        {"databaseEdit", "--help"}};
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    answerDialog(QStringLiteral("/usr/bin/python3"), standIn, "postgresql", QString(), fields);
    triggerImport();
    const bool ended = waitForEnd();
    QDir::setCurrent(previous);
    QVERIFY(ended);
    QVERIFY2(messages.isEmpty(), messages.isEmpty() ? "" : qPrintable(messages.first().text));
    const QJsonObject seen = QJsonDocument::fromJson(fileContents(dir.filePath(standIn + ".seen"))).object();
    const QJsonObject options = seen.value(QStringLiteral("options")).toObject();
    for (const char* option : {"host", "user", "password", "schema"})
        QCOMPARE(options.value(QLatin1String(option)).toString(), fields.value(option + QStringLiteral("Edit")));
    QCOMPARE(options.value(QStringLiteral("dbname")).toString(), fields.value("databaseEdit"));
    QCOMPARE(options.value(QStringLiteral("dialect")).toString(), QStringLiteral("postgresql"));
    // Each value inside its option's own argument; the password not at all.
    for (const QJsonValue& arg : seen.value(QStringLiteral("argv")).toArray()) {
        QVERIFY2(arg.toString().startsWith(QLatin1String("--")) && arg.toString().contains(QLatin1Char('=')),
                 qPrintable(arg.toString()));
        QVERIFY(!arg.toString().contains(fields.value("passwordEdit")));
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
}

void TestImportDatabase::failedImportKeepsDialogValues()
{
    const QMap<QString, QString> fields{{"hostEdit", "db.example"}, {"port", "1600"},      {"databaseEdit", "h:1600/X"},
                                        {"userEdit", "scott"},      {"schemaEdit", "HR"},   {"passwordEdit", "tiger"}};
    const QString script = fake(QStringLiteral("refused.sh"), "echo 'refused' >&2\nexit 1\n");
    answerDialog(QStringLiteral("/bin/sh"), script, "oracle", QStringLiteral("/srv/csv"), fields);
    triggerImport();
    QVERIFY(waitForEnd());

    // The next dialog opens with every value but the password.
    answerDialog(QString(), QString(), QString());
    triggerImport();
    QMap<QString, QString> expected = fields;
    expected.insert(QStringLiteral("passwordEdit"), QString());
    expected.insert(QStringLiteral("pythonEdit"), QStringLiteral("/bin/sh"));
    expected.insert(QStringLiteral("scriptEdit"), script);
    expected.insert(QStringLiteral("csvDirEdit"), QStringLiteral("/srv/csv"));
    expected.insert(QStringLiteral("dialect"), QStringLiteral("oracle"));
    QCOMPARE(shown, expected);
}

void TestImportDatabase::statusBarTellsWhatWasLeftOut()
{
    const QByteArray schema = R"({"meta": {"dialect": "postgresql", "database": "shop", "schemas": ["sales"]},
      "tables": [{"name": "customer"}, {"name": "orders"}, {"name": "order_line"}],
      "constraints": [
        {"type": "FOREIGN KEY", "name": "f1", "table": "orders", "columns": ["customer_id"], "ref_table": "customer"},
        {"type": "FOREIGN KEY", "name": "f2", "table": "order_line", "columns": ["order_id"], "ref_table": "orders"},
        {"type": "FOREIGN KEY", "name": "f3", "table": "order_line", "columns": ["a", "b"], "ref_table": "hr.staff"},
        {"type": "FOREIGN KEY", "name": "f4", "table": "orders", "columns": ["c"], "ref_table": "audit.log"}]})";
    answerDialog(QStringLiteral("/bin/sh"), fake(QStringLiteral("sales.sh"), "cat <<'EOF'\n" + schema + "\nEOF\n"),
                 "postgresql");
    triggerImport();
    QVERIFY(waitForEnd());
    QVERIFY(messages.isEmpty());
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Imported 3 tables and 2 relationships from schema sales; 2 foreign keys refer to tables "
                            "outside schema sales and have no edge"));
}

QUILLMAP_TEST_MAIN(TestImportDatabase)
#include "tst_importdatabase.moc"
