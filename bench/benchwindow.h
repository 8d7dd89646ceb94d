#pragma once

// Start-up shared by the benchmark programs that build widgets.

#include "app/dialoghooks.h"
#include "app/mainwindow.h"

#include <QApplication>

#include <cstdio>

// Offscreen unless another platform is asked for, and no debug logging: a
// console full of it would be what is measured. Call before QApplication.
inline void prepareBenchEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
}

// The main window at the size the figures were taken at, shown, with its
// first events handled.
inline void showBenchWindow(MainWindow& window)
{
    window.resize(1400, 900);
    window.show();
    QApplication::processEvents();
}

// Message boxes answer Ok at once and are printed, so that a refusal shows
// beside the figures instead of stopping the run; Qt's own messages are
// silenced.
inline void printBenchMessages()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    DialogHooks::setMessageHook([](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                   QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        std::printf("message: %s: %s\n", qPrintable(title), qPrintable(text));
        return QMessageBox::Ok;
    });
}
