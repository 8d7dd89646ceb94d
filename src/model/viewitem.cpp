#include "model/viewitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

ViewItem::ViewItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject ViewItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("schema"), emptyText()},
        {QLatin1String("definition"), emptyText()},
        {QLatin1String("comment"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("schema"), m_schema);
    writeString(object, QLatin1String("definition"), m_definition);
    writeString(object, QLatin1String("comment"), m_comment);
    return object;
}

void ViewItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_schema = readString(object, QLatin1String("schema"));
    m_definition = readString(object, QLatin1String("definition"));
    m_comment = readString(object, QLatin1String("comment"));
}
