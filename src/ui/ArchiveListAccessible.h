// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class ArchiveList;

// What a screen reader finds of the archive list: a list of entries, one item per entry, each named
// by the entry's text, as it would find a list view's. The list is a table underneath, and a table's
// own accessible side would give it rows, columns and hidden headers instead.
class ArchiveListAccessible : public QAccessibleWidget
{
public:
    explicit ArchiveListAccessible(ArchiveList* list);
    ~ArchiveListAccessible() override;

    // Makes every ArchiveList answer with this interface; called once, before the first list is asked.
    static void install();
    // Drops the items made so far, whose rows may stand for other entries now.
    void forgetEntries();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    ArchiveList* list() const;

private:
    mutable QHash<int, QAccessible::Id> m_entries;
};
