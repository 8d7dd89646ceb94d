#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// The frameless About window: product name, version and a one-sentence
// description. It deletes itself when closed.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    Ui::AboutDialog* ui;
};
