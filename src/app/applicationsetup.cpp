#include "app/applicationsetup.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>

QString loadApplicationFont(const QString& path)
{
    const int id = QFontDatabase::addApplicationFont(path);
    if (id == -1)
        return {};
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
}

QStringList embeddedFontPaths()
{
    return {
        QStringLiteral(":/fonts/resources/fonts/Manrope-Regular.ttf"),
        QStringLiteral(":/fonts/resources/fonts/Manrope-SemiBold.ttf"),
        QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"),
        QStringLiteral(":/fonts/resources/fonts/Hack-Regular.ttf"),
        QStringLiteral(":/fonts/resources/fonts/NotoSerif-Regular.ttf"),
    };
}

QString registerApplicationFonts(const QStringList& paths, QStringList* families)
{
    QString firstFamily;
    if (families)
        families->clear();
    for (int i = 0; i < paths.size(); ++i) {
        const QString family = loadApplicationFont(paths.at(i));
        if (i == 0)
            firstFamily = family;
        if (families)
            families->append(family);
    }
    if (!firstFamily.isEmpty())
        QApplication::setFont(QFont(firstFamily, 10));
    return firstFamily;
}

QStringList setUpApplication()
{
    // The resources are compiled into the UI library and register themselves.
    QCoreApplication::setOrganizationName(QStringLiteral("Quillworks"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmap"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1.351"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/resources/images/quillery-icon.png")));
    QStringList families;
    registerApplicationFonts(embeddedFontPaths(), &families);
    return families;
}
