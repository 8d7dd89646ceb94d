#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A diagram record of a model: its name and its stored diagram JSON.
class DiagramItem : public QObject
{
    Q_OBJECT
public:
    explicit DiagramItem(QObject* parent = nullptr);

    void setName(const QString& name);
    QJsonObject data() const;

private:
    QString m_id;
    QString m_name;
    QJsonObject m_data;
};
