#include "ui/ArchiveList.h"

void ArchiveListModel::setArchive(const ArchiveTable& table, const QLocale& locale)
{
    beginResetModel();
    m_table = table;
    m_dates.emplace(locale);
    endResetModel();
}

void ArchiveListModel::clear()
{
    beginResetModel();
    m_table.clear();
    endResetModel();
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_table.size());
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_table.size())
        return {};
    return entryText(index.row());
}

QString ArchiveListModel::entryText(int row) const
{
    if (row < 0 || row >= m_table.size() || !m_dates)
        return {};
    return listEntryText(m_table[row], *m_dates);
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

void ArchiveList::clear()
{
    m_model->clear();
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
