// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipRecord.h"

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QLocale>
#include <QTableView>

#include <functional>
#include <optional>

// The archive list's entries, made when the view asks for them (only the rows on screen), so that an
// archive of a million records lists at once: "dd/mm/yyyy - " and the payer's name of record i.
class ArchiveListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void setArchive(const ArchiveTable& table, const QLocale& locale);
    // The table shown grows by added records at its end, made by grow, called while this model holds no
    // share of the table: their entries are inserted (all shown again while a search was shown).
    void setArchiveGrown(qsizetype added, const std::function<const ArchiveTable&()>& grow);
    void clear();
    // Shows only the records at these indices, in this order (a search); setArchive shows all again.
    void setShown(const QList<qsizetype>& shown);
    bool filtered() const { return m_shown.has_value(); }
    // The record behind entry row; -1 when there is none.
    qsizetype recordOf(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QString entryText(int row) const;

private:
    ArchiveTable m_table;
    std::optional<StoredDateReader> m_dates;
    std::optional<QList<qsizetype>> m_shown;
};

// List1: one entry per record, in file order; entry i stands for record i of the last load.
// It is a table of one column without headers or grid, so that it looks and is used as a list: a
// table keeps no layout of its own per row (rows all have one height), so an entry added at the end
// of a million costs what it costs in a short list, where a list view lays out every row again.
class ArchiveList : public QTableView
{
    Q_OBJECT

public:
    explicit ArchiveList(QWidget* parent = nullptr);

    void setArchive(const ArchiveTable& table, const QLocale& locale);
    void setArchiveGrown(qsizetype added, const std::function<const ArchiveTable&()>& grow);
    void clear();
    // While a search is shown: only these records, entry i standing for record shown[i].
    void setShown(const QList<qsizetype>& shown);
    bool filtered() const;
    // The record behind entry row; none when there is no such entry.
    std::optional<qsizetype> recordOf(int row) const;

    int count() const;
    QString entryText(int row) const;
    // The current entry; -1 when there is none.
    int currentRow() const;
    void setCurrentRow(int row,
                       QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect);
    void setRowSelected(int row, bool selected);

protected:
    // Home and End go to the first and the last entry, as in a list.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void changeEvent(QEvent* event) override;
    // A screen reader is told of the current and selected entries by their rows, as a list tells them.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    // One line of the list's font, as a list view would give each entry.
    void fitRowsToFont();
    void forgetAccessibleEntries();

    ArchiveListModel* m_model;
};
