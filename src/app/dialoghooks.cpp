#include "app/dialoghooks.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QRegularExpression>

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

namespace {

// The suffix of the first "*.suffix" pattern of the first filter.
QString filterSuffix(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([^\\s;()*?]+)"));
    const QString first = filter.section(QStringLiteral(";;"), 0, 0);
    const QRegularExpressionMatch match = pattern.match(first);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

QString withFilterSuffix(const QString& path, const QString& filter)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator()))
        return path;
    const QString suffix = filterSuffix(filter);
    if (suffix.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    // A hidden name such as ".g2" has no suffix yet; "g2." gets "json"
    // after its dot.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && dot < name.size() - 1)
        return path;
    if (name.endsWith(QLatin1Char('.')))
        return path + suffix;
    return path + QLatin1Char('.') + suffix;
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    QString path;
    if (hooks().saveFileName) {
        path = hooks().saveFileName(parent, caption, dir, filter);
    } else {
        // The dialog adds the suffix itself, so that it also asks before
        // replacing a file of the completed name.
        QFileDialog dialog(parent, caption, dir, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(filterSuffix(filter));
        if (dialog.exec() == QDialog::Accepted)
            path = dialog.selectedFiles().value(0);
    }
    return withFilterSuffix(path, filter);
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
