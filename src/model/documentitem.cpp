#include "model/documentitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

DocumentItem::DocumentItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject DocumentItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("fileName"), emptyText()},
        {QLatin1String("fileType"), emptyText()},
        {QLatin1String("description"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("fileName"), m_fileName);
    writeString(object, QLatin1String("fileType"), m_fileType);
    writeString(object, QLatin1String("description"), m_description);
    return object;
}

void DocumentItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_fileName = readString(object, QLatin1String("fileName"));
    m_fileType = readString(object, QLatin1String("fileType"));
    m_description = readString(object, QLatin1String("description"));
}
