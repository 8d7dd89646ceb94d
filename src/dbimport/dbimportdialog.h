#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

namespace Ui {
class DbImportDialog;
}

// The dialog of Import from Database: the Python interpreter, the inspector
// script, the source (PostgreSQL, Oracle or a folder of CSV files) and its
// connection values. It checks nothing; the inspector reports what is wrong.
// Every field starts from its default each time the dialog is made.
class DbImportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DbImportDialog(QWidget* parent = nullptr);
    ~DbImportDialog() override;

    // The interpreter and the script, trimmed.
    QString pythonExecutable() const;
    QString scriptPath() const;
    // The inspector's options for the chosen source: "--dialect" and its
    // code, then "--csv-dir" for CSV files, or "--host", "--port", "--user",
    // "--password", "--schema" and "--dbname" (PostgreSQL) or "--dsn"
    // (Oracle). Every option is given, empty fields as empty values. Texts
    // are trimmed, except the password.
    QStringList arguments() const;

public slots:
    // Shows the fields of the source at index and sets its port and hints.
    void onDialectChanged(int index);
    void browsePython();
    void browseScript();
    void browseCsvDir();

private:
    void buildUi();
    void connectSignals();

    std::unique_ptr<Ui::DbImportDialog> ui;
};
