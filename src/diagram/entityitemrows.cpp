// EntityItem: the attribute rows and their editing in place.
#include "diagram/entityitem.h"

#include "details/dialects.h"
#include "diagram/singlelinetextitem.h"

#include <QTimer>

namespace {

// The grey hint an empty name or type cell shows.
QString rowPlaceholder(bool type)
{
    return type ? QStringLiteral("type") : QStringLiteral("column_name");
}

} // namespace

bool EntityItem::isBlankText(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (uint cp : codePoints) {
        const char32_t c = static_cast<char32_t>(cp);
        if (QChar::isSpace(c))
            continue;
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
            continue;
        default:
            return false;
        }
    }
    return true;
}

QString EntityItem::rightTrimmed(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QString EntityItem::currentDialect() const
{
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        return erScene->dialect();
    return QString();
}

QString EntityItem::attributeName(int i) const
{
    return i >= 0 && i < attributeCount() ? m_attributes.at(i).name : QString();
}

QString EntityItem::attributeType(int i) const
{
    return i >= 0 && i < attributeCount() ? m_attributes.at(i).type : QString();
}

QString EntityItem::attributeFkEdgeId(int i) const
{
    return i >= 0 && i < attributeCount() ? m_attributes.at(i).fkEdgeId : QString();
}

bool EntityItem::attributeIsPrimaryKey(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).isPrimaryKey;
}

bool EntityItem::attributeIsUniqueKey(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).isUniqueKey;
}

bool EntityItem::attributeIsForeignKey(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).isForeignKey;
}

bool EntityItem::attributeIsInherited(int i) const
{
    return i >= 0 && i < attributeCount() && m_attributes.at(i).inherited;
}

SingleLineTextItem* EntityItem::nameLabel(int row) const
{
    if (row < 0 || row >= m_nameLabels.size())
        return nullptr;
    const_cast<EntityItem*>(this)->makeRowLabels(row);
    return m_nameLabels.at(row);
}

SingleLineTextItem* EntityItem::typeLabel(int row) const
{
    if (row < 0 || row >= m_typeLabels.size())
        return nullptr;
    const_cast<EntityItem*>(this)->makeRowLabels(row);
    return m_typeLabels.at(row);
}

void EntityItem::makeRowLabels(int row, bool keepOrder)
{
    if (row < 0 || row >= attributeCount() || row >= m_nameLabels.size() || row >= m_typeLabels.size()
        || m_nameLabels.at(row))
        return;
    const Attribute& a = m_attributes.at(row);
    // As a row's labels were made with the row: face first, then the text,
    // laid out once; styled, placed and shown as the layout left the row.
    const QFont font = rowLabelFont(a, m_kind);
    SingleLineTextItem* nameItem = createRowLabel(false, font);
    SingleLineTextItem* typeItem = createRowLabel(true, font);
    nameItem->setInitialText(a.name);
    typeItem->setInitialText(a.type);
    m_nameLabels[row] = nameItem;
    m_typeLabels[row] = typeItem;
    ++m_rowsWithLabels;
    updateRowTextsShown();
    styleRowLabels(row);

    const auto shown = std::lower_bound(m_shownRows.cbegin(), m_shownRows.cend(), row);
    if (isAttributeVisible(row)) {
        const bool last = row == lastShownRow();
        nameItem->inLastRow = last;
        typeItem->inLastRow = last;
        if (shown != m_shownRows.cend() && *shown == row) {
            const qreal y = FirstRowY + RowHeight * qreal(shown - m_shownRows.cbegin());
            nameItem->setPos(TextMargin, y);
            typeItem->setPos(typeCellX(nameItem->shownWidth(), typeItem->shownWidth()), y);
        }
    } else {
        nameItem->setVisible(false);
        typeItem->setVisible(false);
    }
    nameItem->setParentItem(this);
    typeItem->setParentItem(this);

    // Row labels stack in row order, as they did when every row had its
    // labels from the start: that is the order an export draws them in.
    if (!keepOrder)
        return;
    for (int next = row + 1; next < m_nameLabels.size(); ++next) {
        if (SingleLineTextItem* below = m_nameLabels.at(next)) {
            nameItem->stackBefore(below);
            typeItem->stackBefore(below);
            break;
        }
    }
}

void EntityItem::makeAllRowLabels()
{
    // Restacking walks every child, which on a large entity is only cheap
    // while few rows need it: the rows after the last one made are simply
    // appended.
    int lastMade = -1;
    qint64 missingBefore = 0;
    for (int row = 0; row < m_nameLabels.size(); ++row) {
        if (m_nameLabels.at(row))
            lastMade = row;
    }
    for (int row = 0; row < lastMade; ++row)
        missingBefore += m_nameLabels.at(row) ? 0 : 1;
    // Beyond that the labels keep the order they were made in: the picture
    // is the same.
    const bool keepOrder = missingBefore * childItems().size() < 20'000'000;
    for (int row = 0; row < attributeCount(); ++row)
        makeRowLabels(row, keepOrder && row < lastMade);
}

void EntityItem::makeRowLabelsAt(QPointF scenePos)
{
    if (m_shownRows.isEmpty())
        return;
    const QPointF p = mapFromScene(scenePos);
    if (!boundingRect().contains(p))
        return;
    // A cell reaches a little above and below its row.
    const qreal k = (p.y() - FirstRowY) / RowHeight;
    const int first = std::max(0, int(std::floor(k)) - 1);
    const int last = std::min(int(m_shownRows.size()) - 1, int(std::floor(k)) + 1);
    for (int i = first; i <= last; ++i) {
        const int row = m_shownRows.at(i);
        if (row < 0 || row >= attributeCount() || m_nameLabels.at(row))
            continue;
        const qreal y = FirstRowY + RowHeight * i;
        const SingleLineTextItem::Look name = rowLook(row, false);
        const SingleLineTextItem::Look type = rowLook(row, true);
        const QRectF nameCell = SingleLineTextItem::boundsOf(name.font, name.text).translated(TextMargin, y);
        const qreal typeX = typeCellX(cellWidth(row, false), cellWidth(row, true));
        const QRectF typeCell = SingleLineTextItem::boundsOf(type.font, type.text).translated(typeX, y);
        if (nameCell.contains(p) || typeCell.contains(p))
            makeRowLabels(row);
    }
}

int EntityItem::lastShownRow() const
{
    for (int i = attributeCount() - 1; i >= 0; --i) {
        if (isAttributeVisible(i))
            return i;
    }
    return -1;
}

qreal EntityItem::typeCellX(qreal nameWidth, qreal typeWidth) const
{
    return std::max(TextMargin + nameWidth + 12, m_rect.width() - TextMargin - typeWidth);
}

qreal EntityItem::cellWidth(int row, bool type) const
{
    if (row < 0 || row >= attributeCount())
        return 0;
    if (const SingleLineTextItem* label = row < m_nameLabels.size() ? m_nameLabels.at(row) : nullptr)
        return type ? m_typeLabels.at(row)->shownWidth() : label->shownWidth();
    if (m_cellWidths.size() != m_attributes.size())
        m_cellWidths.resize(m_attributes.size());
    const Attribute& a = m_attributes.at(row);
    CellWidths& cell = m_cellWidths[row];
    const int face = rowFace(a, m_kind);
    if (cell.face != face || cell.name != a.name || cell.type != a.type) {
        const QFont font = rowLabelFont(a, m_kind);
        cell.name = a.name;
        cell.type = a.type;
        cell.face = face;
        // An empty cell shows its placeholder: the cell is as wide.
        cell.nameWidth = SingleLineTextItem::shownAdvanceOf(font, SingleLineTextItem::keptText(a.name), rowPlaceholder(false));
        cell.typeWidth = SingleLineTextItem::shownAdvanceOf(font, SingleLineTextItem::keptText(a.type), rowPlaceholder(true));
    }
    return type ? cell.typeWidth : cell.nameWidth;
}

SingleLineTextItem::Look EntityItem::rowLook(int row, bool type) const
{
    // What createRowLabel and styleRowLabels give a row's label.
    const Attribute& a = m_attributes.at(row);
    SingleLineTextItem::Look look;
    look.text = SingleLineTextItem::keptText(type ? a.type : a.name);
    look.font = rowLabelFont(a, m_kind);
    look.color = currentTextColor();
    look.alignment = type ? Qt::AlignRight : Qt::AlignLeft;
    look.underlined = !type && a.isPrimaryKey && m_kind == TableKind;
    look.placeholder = rowPlaceholder(type);
    return look;
}

int EntityItem::rowOfLabel(const SingleLineTextItem* label) const
{
    if (!label)
        return -1;
    for (int i = 0; i < m_nameLabels.size(); ++i) {
        if (m_nameLabels.at(i) == label)
            return i;
    }
    for (int i = 0; i < m_typeLabels.size(); ++i) {
        if (m_typeLabels.at(i) == label)
            return i;
    }
    return -1;
}

QList<QPair<QString, QString>> EntityItem::primaryKeyAttributes() const
{
    QList<QPair<QString, QString>> keys;
    for (const Attribute& a : m_attributes) {
        if (a.isPrimaryKey)
            keys.append({a.name, a.type});
    }
    return keys;
}

int EntityItem::indexOfAttribute(const QString& name, int exceptRow) const
{
    for (int i = 0; i < attributeCount(); ++i) {
        if (i != exceptRow && m_attributes.at(i).name == name)
            return i;
    }
    return -1;
}

QString EntityItem::uniqueAttributeName(const QString& name, int exceptRow) const
{
    if (indexOfAttribute(name, exceptRow) < 0)
        return name;
    int n = 2;
    while (indexOfAttribute(name + QLatin1Char('_') + QString::number(n), exceptRow) >= 0)
        ++n;
    return name + QLatin1Char('_') + QString::number(n);
}

QString EntityItem::freeColumnName(int exceptRow) const
{
    int n = attributeCount() + 1;
    while (indexOfAttribute(QStringLiteral("column_") + QString::number(n), exceptRow) >= 0)
        ++n;
    return QStringLiteral("column_") + QString::number(n);
}

QString EntityItem::defaultTypeForRow(int row) const
{
    if (row < 0 || row >= attributeCount())
        return QString();
    const Attribute& a = m_attributes.at(row);
    if (a.isForeignKey) {
        const QString referenced = referencedKeyType(row);
        if (!referenced.isEmpty())
            return referenced;
    }
    if (a.isPrimaryKey)
        return defaultKeyType(currentDialect());
    return QStringLiteral("undefined");
}

SingleLineTextItem* EntityItem::createRowLabel(bool isType, const QFont& font)
{
    // Made outside the box: see putAttribute.
    auto* label = new SingleLineTextItem();
    label->setFont(font);
    label->placeholderText = rowPlaceholder(isType);
    if (isType)
        label->setAlignment(Qt::AlignRight);
    label->dragEnabled = true;
    label->completionEnabled = isType;
    setLabelColor(label, currentTextColor());
    label->rowOfEntity = true;
    return label;
}

void EntityItem::tieRowLabel(SingleLineTextItem* label)
{
    if (!label || label->parentItem() != this)
        return;
    connect(label, &SingleLineTextItem::editingFinished, this,
            qOverload<SingleLineTextItem*, bool, bool>(&EntityItem::onAttributeEditingFinished));
    connect(label, &SingleLineTextItem::newAttributeRequested, this, &EntityItem::onNewAttributeRequested);
    connect(label, &SingleLineTextItem::dragStarted, this, &EntityItem::onAttributeDragStarted);
}

void EntityItem::addAttribute(const QString& name, const QString& type, bool isPrimaryKey, bool isUniqueKey,
                              bool isForeignKey, bool inherited)
{
    insertOrUpdateAttribute(name, type, isPrimaryKey, isUniqueKey, isForeignKey, inherited);
}

int EntityItem::insertOrUpdateAttribute(const QString& name, const QString& type, bool pk, bool uk, bool fk,
                                        bool inherited)
{
    const QString trimmed = rightTrimmed(name);
    return putAttribute(indexOfAttribute(trimmed), trimmed, type, pk, uk, fk, inherited);
}

int EntityItem::putAttribute(int existing, const QString& trimmed, const QString& type, bool pk, bool uk, bool fk,
                             bool inherited)
{
    const bool storedInherited = m_kind == ViewKind && inherited;

    if (const int i = existing; i >= 0 && i < attributeCount()) {
        Attribute& a = m_attributes[i];
        a.type = type;
        if (fk && !pk && !uk) {
            a.isForeignKey = true;
        } else {
            a.isPrimaryKey = pk;
            a.isUniqueKey = uk;
            a.isForeignKey = fk;
        }
        a.keyStyle = a.isPrimaryKey || a.isUniqueKey;
        if (m_nameLabels.at(i)) {
            m_nameLabels.at(i)->setPlainText(a.name);
            m_typeLabels.at(i)->setPlainText(a.type);
        }
        styleRowLabels(i);
        if (m_layoutDeferred == 0)
            relayoutRows();
        emit structureChanged();
        return i;
    }

    Attribute a;
    a.name = trimmed;
    a.type = type;
    a.isPrimaryKey = pk;
    a.isUniqueKey = uk;
    a.isForeignKey = fk;
    a.keyStyle = pk || uk;
    a.inherited = storedInherited;
    m_attributes.append(a);

    // The row's labels are made once somebody needs them; till then the
    // entity draws the row's text.
    m_nameLabels.append(nullptr);
    m_typeLabels.append(nullptr);

    const int row = attributeCount() - 1;
    if (m_layoutDeferred == 0)
        relayoutRows();
    emit structureChanged();
    return row;
}

void EntityItem::styleRowLabels(int row)
{
    if (row < 0 || row >= attributeCount() || row >= m_nameLabels.size() || row >= m_typeLabels.size()
        || !m_nameLabels.at(row))
        return;
    const Attribute& a = m_attributes.at(row);
    const QFont font = rowLabelFont(a, m_kind);
    setLabelFont(m_nameLabels.at(row), font);
    setLabelFont(m_typeLabels.at(row), font);
    m_nameLabels.at(row)->setUnderlined(a.isPrimaryKey && m_kind == TableKind);
    m_typeLabels.at(row)->setUnderlined(false);
}

void EntityItem::removeRowAt(int row)
{
    if (row < 0 || row >= attributeCount())
        return;
    if (row == m_highlightedRow)
        clearRowHighlight();
    else if (m_highlightedRow > row)
        --m_highlightedRow;
    if (m_dragSourceIndex == row) {
        m_dragging = false;
        m_dragSourceIndex = -1;
        m_dropIndex = -1;
        m_dragLabel = nullptr;
    }

    m_attributes.removeAt(row);
    if (row < m_cellWidths.size())
        m_cellWidths.removeAt(row);
    SingleLineTextItem* labels[] = {m_nameLabels.takeAt(row), m_typeLabels.takeAt(row)};
    if (labels[0])
        --m_rowsWithLabels;
    for (SingleLineTextItem* label : labels) {
        if (!label)
            continue;
        // The label may be the one whose signal led here, so it goes after
        // the event; until then it is off the canvas and silent.
        label->blockSignals(true);
        label->hide();
        label->setParentItem(nullptr);
        if (label->scene())
            label->scene()->removeItem(label);
        label->deleteLater();
    }
}

void EntityItem::ensureKeyRow()
{
    if (m_kind == TableKind && m_attributes.isEmpty())
        addAttribute(m_title + QStringLiteral("_id"), defaultKeyType(currentDialect()), true, false, false, false);
}

bool EntityItem::removeAttributeForLabel(SingleLineTextItem* label)
{
    const int row = rowOfLabel(label);
    if (row < 0)
        return false;
    removeRowAt(row);
    ensureKeyRow();
    relayoutRows();
    // The model drops the row's column at once, so that nothing written
    // before the next edit still holds it.
    emit structureChanged();
    return true;
}

void EntityItem::removeAttribute(const QString& name)
{
    int row = indexOfAttribute(name);
    if (row < 0)
        return;
    const QString edgeId = m_attributes.at(row).fkEdgeId;

    deleteEdgesDependingOnRow(row);

    // Deleting an edge can take its foreign-key rows with it, this one
    // included, and shift the others: find the row again and remove it only
    // when it is still there.
    row = -1;
    for (int i = 0; i < attributeCount(); ++i) {
        if (m_attributes.at(i).name == name && m_attributes.at(i).fkEdgeId == edgeId) {
            row = i;
            break;
        }
    }
    if (row >= 0)
        removeRowAt(row);
    ensureKeyRow();
    relayoutRows();
    emit structureChanged();
}

void EntityItem::setAttributeName(int row, const QString& name)
{
    if (row < 0 || row >= attributeCount())
        return;
    QString trimmed = rightTrimmed(name);
    if (trimmed.isEmpty())
        return;
    trimmed = uniqueAttributeName(trimmed, row);
    Attribute& a = m_attributes[row];
    if (trimmed == a.name)
        return;
    const QString oldName = a.name;
    a.name = trimmed;
    if (SingleLineTextItem* label = m_nameLabels.at(row))
        label->setPlainText(trimmed);
    relayoutRows();
    emit attributeEdited(row, oldName, a.name, a.type);
}

void EntityItem::setAttributeType(int row, const QString& type)
{
    if (row < 0 || row >= attributeCount())
        return;
    Attribute& a = m_attributes[row];
    SingleLineTextItem* label = m_typeLabels.at(row);
    if (a.type == type && (!label || label->toPlainText() == type))
        return;
    a.type = type;
    if (label)
        label->setPlainText(type);
    styleRowLabels(row);
    relayoutRows();
    if (m_attributes.at(row).isPrimaryKey)
        propagateKeyType(row);
    if (row < attributeCount())
        emit attributeEdited(row, m_attributes.at(row).name, m_attributes.at(row).name, m_attributes.at(row).type);
}

void EntityItem::setAttributeKeyFlags(int row, bool isPrimaryKey, bool isUniqueKey)
{
    if (m_kind != TableKind || row < 0 || row >= attributeCount())
        return;
    Attribute& a = m_attributes[row];
    if (a.isPrimaryKey == isPrimaryKey && a.isUniqueKey == isUniqueKey)
        return;
    a.isPrimaryKey = isPrimaryKey;
    a.isUniqueKey = isUniqueKey;
    a.keyStyle = isPrimaryKey || isUniqueKey;
    styleRowLabels(row);
    // A bold face is wider; the box follows.
    relayoutRows();
}

void EntityItem::inheritAttributesFrom(EntityItem* source, const QString& edgeId)
{
    if (m_kind != ViewKind || !source || source == this)
        return;
    if (!edgeId.isEmpty()) {
        for (const Attribute& a : std::as_const(m_attributes)) {
            if (a.fkEdgeId == edgeId)
                return;
        }
    }
    const QList<Attribute> rows = source->attributes();
    for (const Attribute& a : rows) {
        if (a.name.isEmpty())
            continue;
        const int row = insertOrUpdateAttribute(uniqueAttributeName(a.name), a.type, a.isPrimaryKey,
                                                a.isUniqueKey, a.isForeignKey, true);
        if (!edgeId.isEmpty() && row >= 0 && row < attributeCount())
            m_attributes[row].fkEdgeId = edgeId;
    }
}

void EntityItem::moveAttribute(int from, int to)
{
    const int count = attributeCount();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return;
    m_attributes.move(from, to);
    m_nameLabels.move(from, to);
    m_typeLabels.move(from, to);
    if (from < m_cellWidths.size() && to < m_cellWidths.size())
        m_cellWidths.move(from, to);
    if (m_highlightedRow == from)
        m_highlightedRow = to;
    else if (from < to && m_highlightedRow > from && m_highlightedRow <= to)
        --m_highlightedRow;
    else if (to < from && m_highlightedRow >= to && m_highlightedRow < from)
        ++m_highlightedRow;
    refreshLastRowMarks();
    styleRowLabels(to);
    layoutLabels();
    update();
    emit structureChanged();
}

void EntityItem::startEditingLabel(SingleLineTextItem* label)
{
    if (label)
        label->startEditing();
}

void EntityItem::onAttributeEditingFinished(SingleLineTextItem* item, bool viaTab)
{
    onAttributeEditingFinished(item, viaTab, false);
}

void EntityItem::onAttributeEditingFinished(SingleLineTextItem* item)
{
    onAttributeEditingFinished(item, false, false);
}

void EntityItem::onAttributeEditingFinished(SingleLineTextItem* item, bool viaTab, bool viaBacktab)
{
    int row = m_nameLabels.indexOf(item);
    const bool isName = row >= 0;
    if (!isName)
        row = m_typeLabels.indexOf(item);
    if (row < 0 || row >= attributeCount())
        return;

    Attribute& a = m_attributes[row];
    const QString oldName = a.name;
    const QString oldType = a.type;

    if (isName) {
        const QString text = rightTrimmed(item->toPlainText());
        bool typeSet = false;
        QString newName;
        if (isBlankText(text)) {
            const int count = attributeCount();
            if (m_kind == TableKind && (count == 1 || a.isPrimaryKey)) {
                int keyRows = 0;
                for (const Attribute& other : std::as_const(m_attributes))
                    keyRows += other.isPrimaryKey ? 1 : 0;
                QString base = m_title + QStringLiteral("_id");
                if (count > 1 && keyRows >= 2)
                    base += QLatin1Char('_') + QString::number(row + 1);
                newName = uniqueAttributeName(base, row);
                if (count == 1) {
                    a.isPrimaryKey = true;
                    a.keyStyle = true;
                    a.type = defaultKeyType(currentDialect());
                    m_typeLabels.at(row)->setPlainText(a.type);
                    typeSet = true;
                }
            } else {
                newName = freeColumnName(row);
            }
        } else {
            // Two rows of one name would collapse into one when the diagram
            // is saved and read again.
            newName = uniqueAttributeName(text, row);
        }
        a.name = newName;
        if (item->toPlainText() != newName)
            item->setPlainText(newName);
        if (!typeSet) {
            const QString typed = m_typeLabels.at(row)->toPlainText();
            a.type = isBlankText(typed) ? defaultTypeForRow(row) : typed;
            if (typed != a.type)
                m_typeLabels.at(row)->setPlainText(a.type);
        }
    } else {
        const QString typed = item->toPlainText();
        a.type = isBlankText(typed) ? defaultTypeForRow(row) : typed;
        if (typed != a.type)
            item->setPlainText(a.type);
    }

    styleRowLabels(row);
    const QString newName = a.name;
    const QString newType = a.type;
    if (m_attributes.at(row).isPrimaryKey)
        propagateKeyType(row);
    if (newName != oldName || newType != oldType)
        emit attributeEdited(row, oldName, newName, newType);
    relayoutRows();

    // Whatever reacted to the edit may have changed the rows.
    if (row >= attributeCount())
        return;
    if (viaBacktab) {
        if (!isName) {
            if (isAttributeVisible(row))
                startEditingLabel(nameLabel(row));
        } else {
            for (int r = row - 1; r >= 0; --r) {
                if (isAttributeVisible(r)) {
                    startEditingLabel(typeLabel(r));
                    break;
                }
            }
        }
    } else if (viaTab) {
        if (isName) {
            if (isAttributeVisible(row))
                startEditingLabel(typeLabel(row));
        } else {
            for (int r = row + 1; r < attributeCount(); ++r) {
                if (isAttributeVisible(r)) {
                    startEditingLabel(nameLabel(r));
                    return;
                }
            }
            onNewAttributeRequested();
        }
    }
}

void EntityItem::onNewAttributeRequested()
{
    if (m_displayMode != FullMode)
        setDisplayMode(FullMode);
    const int row = insertOrUpdateAttribute(freeColumnName(), QStringLiteral("undefined"), false, false, false,
                                            false);
    if (row >= 0 && row < m_nameLabels.size())
        startEditingLabel(nameLabel(row));
}

void EntityItem::clearRowHighlight()
{
    m_highlightedRow = -1;
    for (SingleLineTextItem* label : std::as_const(m_nameLabels)) {
        if (label && label->focusFrame) {
            label->focusFrame = false;
            label->update();
        }
    }
    for (SingleLineTextItem* label : std::as_const(m_typeLabels)) {
        if (label && label->focusFrame) {
            label->focusFrame = false;
            label->update();
        }
    }
}

void EntityItem::updateRowHighlight(SingleLineTextItem* label, bool focused)
{
    if (focused) {
        const QList<EntityItem*> entities = entitiesOn(scene());
        for (EntityItem* other : entities) {
            if (other != this)
                other->clearRowHighlight();
        }
        clearRowHighlight();
        const int row = rowOfLabel(label);
        if (row < 0)
            return;
        m_highlightedRow = row;
        m_nameLabels.at(row)->focusFrame = true;
        m_typeLabels.at(row)->focusFrame = true;
        m_nameLabels.at(row)->update();
        m_typeLabels.at(row)->update();
        return;
    }
    // Focus often moves straight to the next cell of this entity; look once
    // the move is complete.
    QTimer::singleShot(0, this, [this] {
        bool anyFocus = m_titleLabel && m_titleLabel->hasFocus();
        for (SingleLineTextItem* l : std::as_const(m_nameLabels))
            anyFocus = anyFocus || (l && l->hasFocus());
        for (SingleLineTextItem* l : std::as_const(m_typeLabels))
            anyFocus = anyFocus || (l && l->hasFocus());
        if (!anyFocus)
            clearRowHighlight();
    });
}

void EntityItem::onLabelSelectionChanged(SingleLineTextItem* label, bool selected)
{
    const int row = rowOfLabel(label);
    if (row >= 0)
        setRowEdgesSelected(row, selected);
}
