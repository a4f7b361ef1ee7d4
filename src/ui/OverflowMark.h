// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class QLineEdit;

// Marks a slip field whose printed text would run past its place: a red frame over the field's
// edge (the focus keeps its yellow background underneath) and a tool tip saying how much is too
// long. An empty tool tip takes the mark away and gives the field back the tool tip it had.
void MarkOverflow(QLineEdit& field, const QString& toolTip);

// Whether the field is marked now.
bool IsMarkedAsOverflowing(const QLineEdit& field);
