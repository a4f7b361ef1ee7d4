// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/SaveFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString QtSaveFileDialog::askPdfPath()
{
    QString path = QFileDialog::getSaveFileName(nullptr, QStringLiteral("Salva il bollettino come PDF"),
                                                QDir::home().filePath(QStringLiteral("bollettino.pdf")),
                                                QStringLiteral("Documenti PDF (*.pdf)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    return path;
}
