#include "model/itemid.h"

#include <QRegularExpression>
#include <QUuid>

QString generateItemId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool isGeneratedItemId(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return pattern.match(text).hasMatch();
}
