#include "ui/ArchiveList.h"

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

ArchiveList::ArchiveList(QWidget* parent) : QListView(parent), m_model(new ArchiveListModel(this))
{
    setModel(m_model);
    // Every entry is one line in one font: the view lays out a long archive without asking each entry.
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
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
