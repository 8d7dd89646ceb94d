#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A database sequence of a model, optionally tied to the table column it
// fills. Bounds are kept as text, as the user or the source gave them.
class SequenceItem : public QObject
{
    Q_OBJECT
public:
    explicit SequenceItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString tableId() const { return m_tableId; }
    void setTableId(const QString& tableId) { m_tableId = tableId; }
    QString columnId() const { return m_columnId; }
    void setColumnId(const QString& columnId) { m_columnId = columnId; }
    qint64 startValue() const { return m_startValue; }
    void setStartValue(qint64 value) { m_startValue = value; }
    qint64 increment() const { return m_increment; }
    void setIncrement(qint64 increment) { m_increment = increment; }
    QString minValue() const { return m_minValue; }
    void setMinValue(const QString& value) { m_minValue = value; }
    QString maxValue() const { return m_maxValue; }
    void setMaxValue(const QString& value) { m_maxValue = value; }
    bool cycle() const { return m_cycle; }
    void setCycle(bool cycle) { m_cycle = cycle; }
    QString comment() const { return m_comment; }
    void setComment(const QString& comment) { m_comment = comment; }

    QJsonObject toJson() const;
    // "startValue" and "increment" are truncated toward zero (saturating at
    // the ends of the qint64 range) and fall back to 1 when missing or not
    // numbers.
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    QString m_tableId;
    QString m_columnId;
    qint64 m_startValue = 1;
    qint64 m_increment = 1;
    QString m_minValue;
    QString m_maxValue;
    bool m_cycle = false;
    QString m_comment;
};
