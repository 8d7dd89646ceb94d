#pragma once

#include <QColor>
#include <QColorDialog>
#include <QMessageBox>
#include <QString>

#include <functional>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

// Every file dialog, message box, modal dialog and pop-up menu of the
// application goes
// through these functions. By default they show the real dialogs; a test
// installs a hook to answer instead, so that nothing ever blocks.
//
// Message boxes always show their text as plain text: texts from files,
// processes and converters must never be interpreted as rich text.
namespace DialogHooks {

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                        const QString& filter = QString());
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                        const QString& filter = QString());
QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir = QString());

QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::StandardButton defaultButton = QMessageBox::No);

// Runs a modal dialog (QDialog::exec) and returns its result code.
int execDialog(QDialog* dialog);

// Shows a menu at a global position until an entry is chosen or the menu
// is closed (QMenu::exec); returns the chosen entry, or null.
QAction* execMenu(QMenu* menu, const QPoint& globalPos);

QColor getColor(const QColor& initial, QWidget* parent, const QString& title,
                QColorDialog::ColorDialogOptions options = QColorDialog::ColorDialogOptions());

// A one-line text input; *ok tells whether the user confirmed.
QString getText(QWidget* parent, const QString& title, const QString& label, const QString& text,
                bool* ok);

// Hooks. An empty function restores the real dialog.
using FileNameHook = std::function<QString(QWidget* parent, const QString& caption,
                                           const QString& dir, const QString& filter)>;
using DirectoryHook = std::function<QString(QWidget* parent, const QString& caption, const QString& dir)>;
using MessageHook = std::function<QMessageBox::StandardButton(
    QMessageBox::Icon icon, QWidget* parent, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)>;
using ExecHook = std::function<int(QDialog* dialog)>;
using MenuHook = std::function<QAction*(QMenu* menu, const QPoint& globalPos)>;
using ColorHook = std::function<QColor(const QColor& initial, QWidget* parent, const QString& title)>;
using TextHook = std::function<QString(QWidget* parent, const QString& title, const QString& label,
                                       const QString& text, bool* ok)>;

void setOpenFileNameHook(FileNameHook hook);
void setSaveFileNameHook(FileNameHook hook);
void setExistingDirectoryHook(DirectoryHook hook);
void setMessageHook(MessageHook hook);   // warning, information, critical and question
void setExecHook(ExecHook hook);
void setMenuHook(MenuHook hook);
void setColorHook(ColorHook hook);
void setTextHook(TextHook hook);

// Removes every hook.
void resetHooks();

// Removes every hook when it goes out of scope (for tests).
class ScopedReset
{
public:
    ScopedReset() = default;
    ScopedReset(const ScopedReset&) = delete;
    ScopedReset& operator=(const ScopedReset&) = delete;
    ~ScopedReset() { resetHooks(); }
};

} // namespace DialogHooks
