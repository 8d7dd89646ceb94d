#pragma once

#include "app/dialoghooks.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QTest>

// What the style dialog tests share: a private settings store, scripted
// pickers and message boxes, and typing into the dialogs' fields.

// Points the default settings store at dir under an organisation of the
// tests' own, so that no test reads or writes the user's settings.
inline void useTestSettings(const QString& dir)
{
    QCoreApplication::setOrganizationName(QStringLiteral("QuillmapTests"));
    QCoreApplication::setApplicationName(QStringLiteral("StyleDialogs"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
}

// Records every message box ("title|text") and answers Ok.
struct MessageRecorder
{
    QStringList shown;
    void install()
    {
        DialogHooks::setMessageHook([this](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                           QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            shown << title + QLatin1Char('|') + text;
            return QMessageBox::Ok;
        });
    }
};

template <typename Widget>
Widget* part(const QWidget& dialog, const char* name)
{
    auto* w = dialog.findChild<Widget*>(QLatin1String(name));
    if (!w)
        qFatal("no %s in %s", name, qPrintable(dialog.objectName()));
    return w;
}

// Types text into an emptied edit key by key, as a user would (the
// validator has its say), without leaving the field.
inline void typeInto(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Types text and leaves the field.
inline void enterInto(QLineEdit* edit, const QString& text)
{
    typeInto(edit, text);
    emit edit->editingFinished();
}

// The colour a swatch frame shows, from its style sheet; invalid when it
// shows none.
inline QColor swatchColor(const QFrame* frame)
{
    static const QRegularExpression rgba(QStringLiteral("rgba\\((\\d+), (\\d+), (\\d+), (\\d+)\\)"));
    const QRegularExpressionMatch m = rgba.match(frame->styleSheet());
    if (!m.hasMatch())
        return {};
    return QColor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
}

// The one item of a preview view's scene.
template <typename Item>
Item* previewItem(const QWidget& dialog, const char* viewName)
{
    const QList<QGraphicsItem*> items = part<QGraphicsView>(dialog, viewName)->scene()->items();
    return items.size() == 1 ? static_cast<Item*>(items.first()) : nullptr;
}
