#include "dbimport/dbimportdialog.h"
#include "ui_dbimportdialog.h"

#include "app/dialoghooks.h"
#include "dbimport/schemaimporter.h"

#include <QPushButton>

DbImportDialog::DbImportDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DbImportDialog>())
{
    buildUi();
    connectSignals();
    onDialectChanged(ui->dialectCombo->currentIndex());
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
    QStringList args{QStringLiteral("--dialect"), code};
    if (code == QLatin1String("csv")) {
        args << QStringLiteral("--csv-dir") << ui->csvDirEdit->text().trimmed();
        return args;
    }
    args << QStringLiteral("--host") << ui->hostEdit->text().trimmed()
         << QStringLiteral("--port") << QString::number(ui->portSpin->value())
         << QStringLiteral("--user") << ui->userEdit->text().trimmed()
         << QStringLiteral("--password") << ui->passwordEdit->text()
         << QStringLiteral("--schema") << ui->schemaEdit->text().trimmed()
         << (code == QLatin1String("postgresql") ? QStringLiteral("--dbname") : QStringLiteral("--dsn"))
         << ui->databaseEdit->text().trimmed();
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
