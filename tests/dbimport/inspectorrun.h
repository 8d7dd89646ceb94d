#pragma once

#include "dbimport/schemaimporter.h"

#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTest>

// One run of the real schema inspector (the copy installed next to the
// executable) through the importer, with the interpreter the dialog offers.
struct InspectorRun
{
    bool finished = false;
    QString failure;          // the failed message, when it failed
    QJsonObject erJson;
    QJsonObject schema;       // the inspector's own object
    QStringList progress;
};

inline QString inspectorScript()
{
    return QStringLiteral(QUILLMAP_INSPECTOR_SCRIPT);
}

// Runs the inspector with args; environment variables in extraEnvironment
// are set for the run only.
inline InspectorRun runInspector(const QStringList& args,
                                 const QList<std::pair<QByteArray, QByteArray>>& extraEnvironment = {})
{
    InspectorRun run;
    QList<std::pair<QByteArray, QByteArray>> saved;
    for (const auto& [name, value] : extraEnvironment) {
        saved.append({name, qgetenv(name.constData())});
        qputenv(name.constData(), value);
    }
    SchemaImporter importer;
    QObject::connect(&importer, &SchemaImporter::finished, [&](const QJsonObject& erJson, const QJsonObject& schema) {
        run.finished = true;
        run.erJson = erJson;
        run.schema = schema;
    });
    QObject::connect(&importer, &SchemaImporter::failed, [&](const QString& message) { run.failure = message; });
    QObject::connect(&importer, &SchemaImporter::progressMessage, [&](const QString& text) {
        if (!text.isEmpty())
            run.progress << text;
    });
    importer.start(SchemaImporter::defaultPythonExecutable(), inspectorScript(), args);
    if (!QTest::qWaitFor([&] { return run.finished || !run.failure.isEmpty(); }, 120000))
        run.failure = QStringLiteral("(the inspector did not end within two minutes)");
    for (const auto& [name, value] : saved) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
    return run;
}

// True when the interpreter the dialog offers can import the module.
inline bool pythonHasModule(const QString& module)
{
    QProcess python;
    python.setStandardInputFile(QProcess::nullDevice());
    python.start(SchemaImporter::defaultPythonExecutable(), {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}
