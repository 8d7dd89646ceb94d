#include "common/testmain.h"
#include "dbimport/dbimportdialog.h"
#include "dbimport/schemaimporter.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace {

template <typename T>
T* part(const QWidget& dialog, const char* name)
{
    T* widget = dialog.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("dialog has no %s", name);
    return widget;
}

void chooseDialect(DbImportDialog& dialog, const QString& code)
{
    auto* combo = part<QComboBox>(dialog, "dialectCombo");
    combo->setCurrentIndex(combo->findData(code));
}

} // namespace

class TestDbImportDialog : public QObject
{
    Q_OBJECT
private slots:
    void initialState();
    void dialectSwitching();
    void arguments_data();
    void arguments();
};

void TestDbImportDialog::initialState()
{
    DbImportDialog dialog;
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Import Schema from Database"));
    QVERIFY(dialog.minimumWidth() >= 480);
    QCOMPARE(dialog.pythonExecutable(), SchemaImporter::defaultPythonExecutable());
    QCOMPARE(dialog.scriptPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/tools/schema_inspector.py"));
    auto* combo = part<QComboBox>(dialog, "dialectCombo");
    QCOMPARE(combo->count(), 3);
    const QStringList texts{combo->itemText(0), combo->itemText(1), combo->itemText(2)};
    const QStringList codes{combo->itemData(0).toString(), combo->itemData(1).toString(),
                            combo->itemData(2).toString()};
    QCOMPARE(texts, (QStringList{"PostgreSQL", "Oracle", "CSV files"}));
    QCOMPARE(codes, (QStringList{"postgresql", "oracle", "csv"}));
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(part<QGroupBox>(dialog, "connectionGroup")->isVisible());
    QVERIFY(!part<QGroupBox>(dialog, "csvGroup")->isVisible());
    QCOMPARE(part<QSpinBox>(dialog, "portSpin")->value(), 5432);
    QCOMPARE(part<QLabel>(dialog, "databaseLabel")->text(), QStringLiteral("Database name:"));
    QCOMPARE(part<QLineEdit>(dialog, "hostEdit")->text(), QStringLiteral("localhost"));
    QCOMPARE(part<QLineEdit>(dialog, "schemaEdit")->text(), QStringLiteral("public"));
    QCOMPARE(part<QLineEdit>(dialog, "passwordEdit")->echoMode(), QLineEdit::Password);
    QCOMPARE(part<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->text(), QStringLiteral("Import"));
}

void TestDbImportDialog::dialectSwitching()
{
    DbImportDialog dialog;
    dialog.show();
    auto* port = part<QSpinBox>(dialog, "portSpin");
    auto* connection = part<QGroupBox>(dialog, "connectionGroup");
    auto* csv = part<QGroupBox>(dialog, "csvGroup");
    port->setValue(6543);
    chooseDialect(dialog, QStringLiteral("csv"));
    QVERIFY(!connection->isVisible());
    QVERIFY(csv->isVisible());
    QCOMPARE(port->value(), 6543);   // CSV leaves the port alone

    chooseDialect(dialog, QStringLiteral("oracle"));
    QVERIFY(connection->isVisible());
    QVERIFY(!csv->isVisible());
    QCOMPARE(port->value(), 1521);
    QCOMPARE(part<QLabel>(dialog, "databaseLabel")->text(), QStringLiteral("DSN (host:port/service):"));
    QCOMPARE(part<QLineEdit>(dialog, "databaseEdit")->placeholderText(), QStringLiteral("localhost:1521/ORCL"));
    QCOMPARE(part<QLineEdit>(dialog, "schemaEdit")->placeholderText(), QStringLiteral("SCOTT"));
    QCOMPARE(part<QLineEdit>(dialog, "schemaEdit")->text(), QStringLiteral("public"));   // texts stay

    port->setValue(1600);
    chooseDialect(dialog, QStringLiteral("postgresql"));
    QCOMPARE(port->value(), 5432);
    QCOMPARE(part<QLabel>(dialog, "databaseLabel")->text(), QStringLiteral("Database name:"));
    QCOMPARE(part<QLineEdit>(dialog, "databaseEdit")->placeholderText(), QStringLiteral("mydb"));
}

void TestDbImportDialog::arguments_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("fields");   // host, user, password, schema, database, csv folder
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("expected");   // options and values, passed joined as --option=value

    QTest::newRow("postgresql") << "postgresql" << QStringList{"db.example", "me", "pw", "sales", "shop", "/ignored"}
                                << 5433
                                << QStringList{"--dialect", "postgresql", "--host", "db.example", "--port", "5433",
                                               "--user", "me", "--password", "pw", "--schema", "sales", "--dbname",
                                               "shop"};
    QTest::newRow("oracle uses --dsn") << "oracle" << QStringList{"h", "scott", "tiger", "SCOTT", "h:1521/ORCL", ""}
                                       << 1521
                                       << QStringList{"--dialect", "oracle", "--host", "h", "--port", "1521", "--user",
                                                      "scott", "--password", "tiger", "--schema", "SCOTT", "--dsn",
                                                      "h:1521/ORCL"};
    QTest::newRow("csv gives only the folder") << "csv" << QStringList{"h", "u", "p", "s", "d", "  /data/csv files  "}
                                               << 5432 << QStringList{"--dialect", "csv", "--csv-dir", "/data/csv files"};
    QTest::newRow("every field empty") << "postgresql" << QStringList{"", "", "", "", "", ""} << 1
                                       << QStringList{"--dialect", "postgresql", "--host", "", "--port", "1", "--user",
                                                      "", "--password", "", "--schema", "", "--dbname", ""};
    QTest::newRow("texts trimmed, the password kept as typed")
        << "postgresql" << QStringList{"  h  ", "\tu ", "  p w  ", " inventory, sales ", " shop\n", ""} << 65535
        << QStringList{"--dialect", "postgresql", "--host", "h", "--port", "65535", "--user", "u", "--password",
                       "  p w  ", "--schema", "inventory, sales", "--dbname", "shop"};
    QTest::newRow("csv with an empty folder") << "csv" << QStringList{"", "", "", "", "", ""} << 5432
                                              << QStringList{"--dialect", "csv", "--csv-dir", ""};
}

void TestDbImportDialog::arguments()
{
    QFETCH(QString, code);
    QFETCH(QStringList, fields);
    QFETCH(int, port);
    QFETCH(QStringList, expected);
    DbImportDialog dialog;
    chooseDialect(dialog, code);
    const char* names[] = {"hostEdit", "userEdit", "passwordEdit", "schemaEdit", "databaseEdit", "csvDirEdit"};
    for (int i = 0; i < 6; ++i)
        part<QLineEdit>(dialog, names[i])->setText(fields.at(i));
    part<QSpinBox>(dialog, "portSpin")->setValue(port);
    part<QLineEdit>(dialog, "pythonEdit")->setText(QStringLiteral("  /opt/py/bin/python3 "));
    part<QLineEdit>(dialog, "scriptEdit")->setText(QStringLiteral(" /x/schema_inspector.py\t"));
    QStringList joined;
    for (qsizetype i = 0; i + 1 < expected.size(); i += 2)
        joined << expected.at(i) + QLatin1Char('=') + expected.at(i + 1);
    QCOMPARE(dialog.arguments(), joined);
    QCOMPARE(dialog.pythonExecutable(), QStringLiteral("/opt/py/bin/python3"));
    QCOMPARE(dialog.scriptPath(), QStringLiteral("/x/schema_inspector.py"));
}

QUILLMAP_TEST_MAIN(TestDbImportDialog)
#include "tst_dbimportdialog.moc"
