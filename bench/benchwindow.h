#pragma once

// Start-up shared by the benchmark programs that build widgets.

#include "app/mainwindow.h"

#include <QApplication>

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
