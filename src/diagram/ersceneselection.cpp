#include "diagram/erscene.h"

#include "app/thememanager.h"
#include "diagram/slotitem.h"

#include <QGraphicsDropShadowEffect>
#include <QTimer>

#include <algorithm>
#include <utility>

// The selection and the glow around the selected items.

bool ERScene::isGlowable(const QGraphicsItem* item)
{
    if (!item)
        return false;
    const int t = item->type();
    return t == DiagramItemType::Entity || t == DiagramItemType::Edge || t == DiagramItemType::Text
        || t == DiagramItemType::Group;
}

bool ERScene::isGlowActive() const
{
    return m_glowTimer->isActive();
}

void ERScene::releaseSelection()
{
    if (m_clearing)
        return;
    const bool signalsWereBlocked = blockSignals(true);
    releaseSelectionNow();
    blockSignals(signalsWereBlocked);
}

void ERScene::releaseSelectionNow()
{
    ++m_selectionGeneration;
    m_selectionHandlingPending = false;
    m_glowTimer->stop();
    if (QGraphicsItem* grabber = mouseGrabberItem())
        grabber->ungrabMouse();
    for (const auto& [item, effect] : std::as_const(m_glowing)) {
        if (effect && item->graphicsEffect() == effect)
            item->setGraphicsEffect(nullptr);
    }
    m_glowing.clear();
    const QList<QGraphicsItem*> selected = selectedItems();
    for (QGraphicsItem* item : selected)
        item->setSelected(false);
    clearSelection();
    clearFocus();
}

void ERScene::noteSelectionChange()
{
    onSelectionChanged();
}

void ERScene::onSelectionChanged()
{
    if (m_clearing || m_selectionHandlingPending)
        return;
    m_selectionHandlingPending = true;
    const std::uint64_t generation = m_selectionGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        m_selectionHandlingPending = false;
        if (generation != m_selectionGeneration || m_clearing)
            return;
        handleSelection();
    });
}

void ERScene::handleSelection()
{
    dropStaleGlow();
    const QList<QGraphicsItem*> selected = selectedItems();
    const bool anyGlowable = std::any_of(selected.cbegin(), selected.cend(), &ERScene::isGlowable);
    if (anyGlowable) {
        if (!m_glowTimer->isActive())
            m_glowTimer->start();
        updateSelectionGlow();
    } else {
        m_glowTimer->stop();
    }
}

void ERScene::updateSelectionGlow()
{
    if (m_clearing) {
        m_glowTimer->stop();
        return;
    }
    constexpr double twoPi = 6.283185307179586;
    m_glowPhase += twoPi * m_glowTimer->interval() / 2000.0;
    if (m_glowPhase > twoPi)
        m_glowPhase -= twoPi;
    const double intensity = 0.5 + 0.5 * std::sin(m_glowPhase);
    const int alpha = static_cast<int>(std::lround(70.0 + 130.0 * intensity));

    // A deselection that came with the scene's signals blocked shows here
    // at the latest.
    dropStaleGlow();
    const ThemeManager& theme = ThemeManager::instance();
    bool anyGlowable = false;
    const QList<QGraphicsItem*> selected = selectedItems();
    for (QGraphicsItem* item : selected) {
        if (!isGlowable(item))
            continue;
        anyGlowable = true;
        const bool isEdge = item->type() == DiagramItemType::Edge;
        auto* effect = qobject_cast<QGraphicsDropShadowEffect*>(item->graphicsEffect());
        if (!effect) {
            effect = new QGraphicsDropShadowEffect();
            effect->setOffset(0, 0);
            effect->setBlurRadius(isEdge ? 14 : 20);
            item->setGraphicsEffect(effect);
            m_glowing.append({item, effect});
        }
        QColor color = theme.color(isEdge ? ThemeSlot::Highlight : ThemeSlot::Selection);
        color.setAlpha(alpha);
        effect->setColor(color);
    }
    if (!anyGlowable)
        m_glowTimer->stop();
}

void ERScene::dropStaleGlow()
{
    for (qsizetype i = m_glowing.size() - 1; i >= 0; --i) {
        const auto& [item, effect] = m_glowing.at(i);
        if (!effect || item->graphicsEffect() != effect) {
            // The item went, or someone else replaced its effect.
            m_glowing.removeAt(i);
        } else if (!item->isSelected()) {
            item->setGraphicsEffect(nullptr);
            m_glowing.removeAt(i);
        }
    }
}

void ERScene::onThemeChanged()
{
    update(sceneRect());
    if (m_glowTimer->isActive())
        updateSelectionGlow();
}
