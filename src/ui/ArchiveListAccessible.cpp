// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/ArchiveListAccessible.h"

#include "ui/ArchiveList.h"

#include <QItemSelectionModel>

namespace {

// One entry of the list, as a list item.
class EntryAccessible : public QAccessibleInterface
{
public:
    EntryAccessible(ArchiveList* list, int row) : m_list(list), m_row(row) {}

    bool isValid() const override { return m_list && m_row < m_list->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }

    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_list); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Description))
            return {};
        const QModelIndex at = index();
        return at.data(t == QAccessible::Name ? Qt::DisplayRole : Qt::ToolTipRole).toString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect area = m_list->visualRect(index()).intersected(m_list->viewport()->rect());
        return QRect(m_list->viewport()->mapToGlobal(area.topLeft()), area.size());
    }

    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.selected = m_list->selectionModel()->isRowSelected(m_row);
        state.focused = m_list->hasFocus() && m_list->currentRow() == m_row;
        if (!m_list->visualRect(index()).intersects(m_list->viewport()->rect()))
            state.invisible = state.offscreen = true;
        return state;
    }

    int row() const { return m_row; }
    const ArchiveList* list() const { return m_list; }

private:
    QModelIndex index() const { return m_list->model()->index(m_row, 0); }

    QPointer<ArchiveList> m_list;
    int m_row;
};

QAccessibleInterface* archiveListFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ArchiveList") && object && object->isWidgetType())
        return new ArchiveListAccessible(static_cast<ArchiveList*>(object));
    return nullptr;
}

} // namespace

ArchiveListAccessible::ArchiveListAccessible(ArchiveList* list) : QAccessibleWidget(list, QAccessible::List)
{
}

ArchiveListAccessible::~ArchiveListAccessible()
{
    forgetEntries();
}

void ArchiveListAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(archiveListFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void ArchiveListAccessible::forgetEntries()
{
    const QHash<int, QAccessible::Id> entries = std::exchange(m_entries, {});
    for (const QAccessible::Id id : entries)
        QAccessible::deleteAccessibleInterface(id);
}

ArchiveList* ArchiveListAccessible::list() const
{
    return static_cast<ArchiveList*>(widget());
}

int ArchiveListAccessible::childCount() const
{
    return list()->count();
}

QAccessibleInterface* ArchiveListAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto found = m_entries.constFind(index); found != m_entries.cend())
        return QAccessible::accessibleInterface(*found);
    auto* entry = new EntryAccessible(list(), index);
    m_entries.insert(index, QAccessible::registerAccessibleInterface(entry));
    return entry;
}

int ArchiveListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* entry = dynamic_cast<const EntryAccessible*>(child);
    return entry && entry->list() == list() && entry->isValid() ? entry->row() : -1;
}

QAccessibleInterface* ArchiveListAccessible::childAt(int x, int y) const
{
    const QPoint at = list()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = list()->indexAt(at);
    return index.isValid() ? child(index.row()) : nullptr;
}

QAccessibleInterface* ArchiveListAccessible::focusChild() const
{
    return list()->hasFocus() ? child(list()->currentRow()) : nullptr;
}
