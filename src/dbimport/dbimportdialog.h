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
// Each new dialog shows the values of the last one accepted while the
// program runs (the password excepted), so that a failed import is mended
// by correcting one field; nothing is stored between runs.
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
    // (Oracle). Every option is one argument "--option=value", so that no
    // value is ever taken for an option, whatever it begins with. Every
    // option is given, empty fields as empty values. Texts are trimmed,
    // except the password.
    QStringList arguments() const;

    // Accepting remembers the values for the next dialog.
    void done(int result) override;

public slots:
    // Shows the fields of the source at index and sets its port and hints.
    void onDialectChanged(int index);
    void browsePython();
    void browseScript();
    void browseCsvDir();

private:
    void buildUi();
    void connectSignals();
    void restoreLastValues();

    std::unique_ptr<Ui::DbImportDialog> ui;
};
