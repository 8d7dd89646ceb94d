#include "app/dialoghooks.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>

#include <utility>

namespace DialogHooks {
namespace {

struct Hooks
{
    FileNameHook openFileName;
    FileNameHook saveFileName;
    DirectoryHook existingDirectory;
    MessageHook message;
    ExecHook exec;
    MenuHook menu;
    ColorHook color;
    TextHook text;
};

Hooks& hooks()
{
    static Hooks instance;
    return instance;
}

QMessageBox::StandardButton showMessage(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton)
{
    if (hooks().message)
        return hooks().message(icon, parent, title, text, buttons, defaultButton);
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    const int result = box.exec();
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    if (clicked != QMessageBox::NoButton)
        return clicked;
    const auto answered = static_cast<QMessageBox::StandardButton>(result);
    return (buttons & answered) ? answered : QMessageBox::NoButton;
}

} // namespace

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    if (hooks().openFileName)
        return hooks().openFileName(parent, caption, dir, filter);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    if (hooks().saveFileName)
        return hooks().saveFileName(parent, caption, dir, filter);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    if (hooks().existingDirectory)
        return hooks().existingDirectory(parent, caption, dir);
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton)
{
    return showMessage(QMessageBox::Warning, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton)
{
    return showMessage(QMessageBox::Information, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton)
{
    return showMessage(QMessageBox::Critical, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton)
{
    return showMessage(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

int execDialog(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    if (hooks().exec)
        return hooks().exec(dialog);
    return dialog->exec();
}

QAction* execMenu(QMenu* menu, const QPoint& globalPos)
{
    if (!menu)
        return nullptr;
    if (hooks().menu)
        return hooks().menu(menu, globalPos);
    return menu->exec(globalPos);
}

QColor getColor(const QColor& initial, QWidget* parent, const QString& title,
                QColorDialog::ColorDialogOptions options)
{
    if (hooks().color)
        return hooks().color(initial, parent, title);
    return QColorDialog::getColor(initial, parent, title, options);
}

QString getText(QWidget* parent, const QString& title, const QString& label, const QString& text, bool* ok)
{
    if (hooks().text)
        return hooks().text(parent, title, label, text, ok);
    return QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, ok);
}

void setOpenFileNameHook(FileNameHook hook) { hooks().openFileName = std::move(hook); }
void setSaveFileNameHook(FileNameHook hook) { hooks().saveFileName = std::move(hook); }
void setExistingDirectoryHook(DirectoryHook hook) { hooks().existingDirectory = std::move(hook); }
void setMessageHook(MessageHook hook) { hooks().message = std::move(hook); }
void setExecHook(ExecHook hook) { hooks().exec = std::move(hook); }
void setMenuHook(MenuHook hook) { hooks().menu = std::move(hook); }
void setColorHook(ColorHook hook) { hooks().color = std::move(hook); }
void setTextHook(TextHook hook) { hooks().text = std::move(hook); }

void resetHooks()
{
    hooks() = Hooks();
}

} // namespace DialogHooks
