#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

class IndentedJsonWriter;
class ClassificationItem;

// One column of a table. The type is held as a bare name (VARCHAR) plus
// length, precision and scale (-1 = not set); setDataType splits a typed text
// such as DECIMAL(10,2) and displayType joins the parts again.
class ColumnItem : public QObject
{
    Q_OBJECT
public:
    explicit ColumnItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    // The bare type name, without any size suffix.
    QString dataType() const { return m_dataType; }
    // Takes a typed text: a recognised size part goes to length (non-numeric
    // types) or precision and scale (numeric types), clearing the figures
    // that do not apply. Without a size part, figures that no longer fit the
    // type's numeric-ness are dropped and the others kept.
    void setDataType(const QString& typeText);
    // The type with its size figures, for display: VARCHAR(50), DECIMAL(10,2).
    QString displayType() const;

    bool nullable() const { return m_nullable; }
    void setNullable(bool nullable) { m_nullable = nullable; }
    QString comment() const { return m_comment; }
    void setComment(const QString& comment) { m_comment = comment; }
    int precision() const { return m_precision; }
    void setPrecision(int precision) { m_precision = precision; }
    int scale() const { return m_scale; }
    void setScale(int scale) { m_scale = scale; }
    int length() const { return m_length; }
    void setLength(int length) { m_length = length; }
    QString defaultValue() const { return m_defaultValue; }
    void setDefaultValue(const QString& value) { m_defaultValue = value; }
    bool personal() const { return m_personal; }
    void setPersonal(bool personal) { m_personal = personal; }
    bool sensible() const { return m_sensible; }
    void setSensible(bool sensible) { m_sensible = sensible; }
    QString classification() const { return m_classification; }
    void setClassification(const QString& classification) { m_classification = classification; }

    // The classification items owned by the column, in list order.
    QList<ClassificationItem*> classifications() const { return m_classifications; }
    ClassificationItem* addClassification();

    QJsonObject toJson() const;
    // The text of toJson() at level, written straight into writer.
    void writeJson(IndentedJsonWriter& writer, int level) const;
    // Replaces the column's fields and classification items. A size suffix in
    // "dataType" wins over the "length", "precision" and "scale" keys.
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    QString m_dataType;
    bool m_nullable = true;
    QString m_comment;
    int m_precision = -1;
    int m_scale = -1;
    int m_length = -1;
    QString m_defaultValue;
    bool m_personal = false;
    bool m_sensible = false;
    QString m_classification;
    QList<ClassificationItem*> m_classifications;
};
