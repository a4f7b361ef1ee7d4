// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/ArchiveList.h"

#include "ui/ArchiveListAccessible.h"

#include <QAccessible>
#include <QEvent>
#include <QHeaderView>
#include <QStyleOptionViewItem>

#include <limits>

void ArchiveListModel::setArchive(const ArchiveTable& table, const QLocale& locale)
{
    beginResetModel();
    m_table = table;
    m_dates.emplace(locale);
    m_shown.reset();
    endResetModel();
}

void ArchiveListModel::setArchiveGrown(qsizetype added, const std::function<const ArchiveTable&()>& grow)
{
    const qsizetype before = m_table.size();
    if (m_shown || !m_dates || added < 1 || before + added > std::numeric_limits<int>::max()) {
        beginResetModel();
        m_table = ArchiveTable();
        m_table = grow();
        m_shown.reset();
        endResetModel();
        return;
    }
    beginInsertRows({}, int(before), int(before + added - 1));
    m_table = ArchiveTable();
    m_table = grow();
    endInsertRows();
}

void ArchiveListModel::clear()
{
    beginResetModel();
    m_table.clear();
    m_shown.reset();
    endResetModel();
}

void ArchiveListModel::setShown(const QList<qsizetype>& shown)
{
    beginResetModel();
    m_shown = shown;
    endResetModel();
}

qsizetype ArchiveListModel::recordOf(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_shown ? m_shown->at(row) : row;
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return int(m_shown ? m_shown->size() : m_table.size());
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return entryText(index.row());
    if (role == Qt::ToolTipRole) {
        const qsizetype record = recordOf(index.row());
        if (record >= 0 && record < m_table.size())
            return listEntryDetails(m_table[record]);
    }
    return {};
}

QString ArchiveListModel::entryText(int row) const
{
    const qsizetype record = recordOf(row);
    if (record < 0 || record >= m_table.size() || !m_dates)
        return {};
    return listEntryText(m_table[record], *m_dates);
}

ArchiveList::ArchiveList(QWidget* parent) : QTableView(parent), m_model(new ArchiveListModel(this))
{
    setModel(m_model);
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    // Every entry is one line in one font: no entry is asked for its size.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Tab leaves the list, as it leaves any list, instead of walking its cells.
    setTabKeyNavigation(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    fitRowsToFont();
    ArchiveListAccessible::install();
    connect(m_model, &QAbstractItemModel::modelReset, this, &ArchiveList::forgetAccessibleEntries);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &ArchiveList::forgetAccessibleEntries);
}

void ArchiveList::forgetAccessibleEntries()
{
    if (auto* accessible = dynamic_cast<ArchiveListAccessible*>(QAccessible::queryAccessibleInterface(this)))
        accessible->forgetEntries();
}

void ArchiveList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The table's own would number the entry as a cell after its hidden headers.
    QAbstractItemView::currentChanged(current, previous);
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
}

void ArchiveList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
    if (!QAccessible::isActive())
        return;
    const auto tell = [this](const QItemSelection& rows, QAccessible::Event kind) {
        const QModelIndex first = rows.indexes().value(0);
        if (!first.isValid())
            return;
        QAccessibleEvent event(this, kind);
        event.setChild(first.row());
        QAccessible::updateAccessibility(&event);
    };
    tell(selected, QAccessible::SelectionAdd);
    tell(deselected, QAccessible::SelectionRemove);
}

void ArchiveList::fitRowsToFont()
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("09/12/2026 - Ag");
    const QSize line = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
    verticalHeader()->setDefaultSectionSize(std::max(line.height(), fontMetrics().height()));
}

void ArchiveList::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitRowsToFont();
}

QModelIndex ArchiveList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void ArchiveList::setArchive(const ArchiveTable& table, const QLocale& locale)
{
    m_model->setArchive(table, locale);
}

void ArchiveList::setArchiveGrown(qsizetype added, const std::function<const ArchiveTable&()>& grow)
{
    m_model->setArchiveGrown(added, grow);
}

void ArchiveList::clear()
{
    m_model->clear();
}

void ArchiveList::setShown(const QList<qsizetype>& shown)
{
    m_model->setShown(shown);
}

bool ArchiveList::filtered() const
{
    return m_model->filtered();
}

std::optional<qsizetype> ArchiveList::recordOf(int row) const
{
    const qsizetype record = m_model->recordOf(row);
    return record < 0 ? std::nullopt : std::optional<qsizetype>(record);
}

int ArchiveList::count() const
{
    return m_model->rowCount();
}

QString ArchiveList::entryText(int row) const
{
    return m_model->entryText(row);
}

int ArchiveList::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ArchiveList::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    selectionModel()->setCurrentIndex(m_model->index(row), command);
}

void ArchiveList::setRowSelected(int row, bool selected)
{
    selectionModel()->select(m_model->index(row),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}
