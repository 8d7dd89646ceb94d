#include "dbimport/dbimportdialog.h"
#include "ui_dbimportdialog.h"

#include "app/dialoghooks.h"
#include "dbimport/schemaimporter.h"

#include <QPushButton>

#include <optional>

namespace {

// The values of the last accepted dialog; never the password.
struct LastValues
{
    QString python;
    QString script;
    QString dialect;
    QString host;
    int port = 0;
    QString database;
    QString user;
    QString schema;
    QString csvDir;
};

std::optional<LastValues>& lastValues()
{
    static std::optional<LastValues> values;
    return values;
}

} // namespace

DbImportDialog::DbImportDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DbImportDialog>())
{
    buildUi();
    connectSignals();
    onDialectChanged(ui->dialectCombo->currentIndex());
    restoreLastValues();
}

DbImportDialog::~DbImportDialog() = default;

void DbImportDialog::buildUi()
{
    ui->setupUi(this);
    ui->pythonEdit->setText(SchemaImporter::defaultPythonExecutable());
    ui->scriptEdit->setText(SchemaImporter::defaultScriptPath());
    ui->dialectCombo->addItem(QStringLiteral("PostgreSQL"), QStringLiteral("postgresql"));
    ui->dialectCombo->addItem(QStringLiteral("Oracle"), QStringLiteral("oracle"));
    ui->dialectCombo->addItem(QStringLiteral("CSV files"), QStringLiteral("csv"));
    ui->hostEdit->setText(QStringLiteral("localhost"));
    ui->portSpin->setValue(5432);
    ui->schemaEdit->setText(QStringLiteral("public"));
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Import"));
}

void DbImportDialog::connectSignals()
{
    connect(ui->dialectCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DbImportDialog::onDialectChanged);
    const std::pair<const char*, void (DbImportDialog::*)()> browsers[] = {
        {"browsePython", &DbImportDialog::browsePython},
        {"browseScript", &DbImportDialog::browseScript},
        {"browseCsv", &DbImportDialog::browseCsvDir},
    };
    for (const auto& [name, slot] : browsers) {
        if (auto* button = findChild<QPushButton*>(QLatin1String(name)))
            connect(button, &QPushButton::clicked, this, slot);
    }
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void DbImportDialog::restoreLastValues()
{
    const std::optional<LastValues>& last = lastValues();
    if (!last)
        return;
    ui->pythonEdit->setText(last->python);
    ui->scriptEdit->setText(last->script);
    // The dialect first: choosing it sets its own port.
    const int index = ui->dialectCombo->findData(last->dialect);
    if (index >= 0)
        ui->dialectCombo->setCurrentIndex(index);
    ui->hostEdit->setText(last->host);
    ui->portSpin->setValue(last->port);
    ui->databaseEdit->setText(last->database);
    ui->userEdit->setText(last->user);
    ui->schemaEdit->setText(last->schema);
    ui->csvDirEdit->setText(last->csvDir);
}

void DbImportDialog::done(int result)
{
    if (result == QDialog::Accepted) {
        lastValues() = LastValues{ui->pythonEdit->text(),   ui->scriptEdit->text(),
                                  ui->dialectCombo->currentData().toString(),
                                  ui->hostEdit->text(),     ui->portSpin->value(),
                                  ui->databaseEdit->text(), ui->userEdit->text(),
                                  ui->schemaEdit->text(),   ui->csvDirEdit->text()};
    }
    QDialog::done(result);
}

QString DbImportDialog::pythonExecutable() const
{
    return ui->pythonEdit->text().trimmed();
}

QString DbImportDialog::scriptPath() const
{
    return ui->scriptEdit->text().trimmed();
}

QStringList DbImportDialog::arguments() const
{
    const QString code = ui->dialectCombo->currentData().toString();
    const auto option = [](const char* name, const QString& value) {
        return QLatin1String("--") + QLatin1String(name) + QLatin1Char('=') + value;
    };
    QStringList args{option("dialect", code)};
    if (code == QLatin1String("csv")) {
        args << option("csv-dir", ui->csvDirEdit->text().trimmed());
        return args;
    }
    args << option("host", ui->hostEdit->text().trimmed())
         << option("port", QString::number(ui->portSpin->value()))
         << option("user", ui->userEdit->text().trimmed())
         << option("password", ui->passwordEdit->text())
         << option("schema", ui->schemaEdit->text().trimmed())
         << option(code == QLatin1String("postgresql") ? "dbname" : "dsn", ui->databaseEdit->text().trimmed());
    return args;
}

void DbImportDialog::onDialectChanged(int index)
{
    const QString code = ui->dialectCombo->itemData(index).toString();
    const bool database = code == QLatin1String("postgresql") || code == QLatin1String("oracle");
    ui->connectionGroup->setVisible(database);
    ui->csvGroup->setVisible(code == QLatin1String("csv"));
    if (code == QLatin1String("postgresql")) {
        ui->portSpin->setValue(5432);
        ui->databaseLabel->setText(QStringLiteral("Database name:"));
        ui->databaseEdit->setPlaceholderText(QStringLiteral("mydb"));
        ui->schemaEdit->setPlaceholderText(QStringLiteral("public"));
    } else if (code == QLatin1String("oracle")) {
        ui->portSpin->setValue(1521);
        ui->databaseLabel->setText(QStringLiteral("DSN (host:port/service):"));
        ui->databaseEdit->setPlaceholderText(QStringLiteral("localhost:1521/ORCL"));
        ui->schemaEdit->setPlaceholderText(QStringLiteral("SCOTT"));
    }
    adjustSize();
}

void DbImportDialog::browsePython()
{
    const QString path = DialogHooks::getOpenFileName(this, QStringLiteral("Select Python executable"), QString(),
                                                      QStringLiteral("All files (*)"));
    if (!path.isEmpty())
        ui->pythonEdit->setText(path);
}

void DbImportDialog::browseScript()
{
    const QString path = DialogHooks::getOpenFileName(this, QStringLiteral("Select schema_inspector.py"), QString(),
                                                      QStringLiteral("Python scripts (*.py);;All files (*)"));
    if (!path.isEmpty())
        ui->scriptEdit->setText(path);
}

void DbImportDialog::browseCsvDir()
{
    const QString path = DialogHooks::getExistingDirectory(this, QStringLiteral("Select CSV directory"),
                                                           ui->csvDirEdit->text());
    if (!path.isEmpty())
        ui->csvDirEdit->setText(path);
}
