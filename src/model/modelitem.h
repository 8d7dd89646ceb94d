#pragma once

#include <QList>
#include <QObject>
#include <QString>

class DiagramItem;

// One model of the project: a name, a dialect and its diagrams.
class ModelItem : public QObject
{
    Q_OBJECT
public:
    explicit ModelItem(QObject* parent = nullptr);

    void setName(const QString& name);
    QString dialect() const;
    void setDialect(const QString& dialect);

    DiagramItem* addDiagram();
    QList<DiagramItem*> diagrams() const;

private:
    QString m_id;
    QString m_name;
    QString m_dialect;
    QList<DiagramItem*> m_diagrams;
};
