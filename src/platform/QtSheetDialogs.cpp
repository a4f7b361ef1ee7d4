// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/SheetDialogs.h"

#include "core/slip/SlipText.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString withSuffix(QString path, const QString& suffix)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += u'.' + suffix;
    return path;
}

class QtBatchProgress final : public BatchProgress
{
public:
    QtBatchProgress(const QString& label, int total)
        : m_dialog(label, u"Annulla"_s, 0, total, QApplication::activeWindow())
    {
        m_dialog.setObjectName(u"BatchProgress"_s);
        m_dialog.setWindowTitle(u"cedolario"_s);
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setValue(0);
    }
    void setDone(int done) override
    {
        m_dialog.setValue(done);
        QCoreApplication::processEvents();
    }
    bool cancelled() override
    {
        QCoreApplication::processEvents();
        return m_dialog.wasCanceled();
    }
    void passCancelling(const QString& label) override
    {
        m_dialog.setLabelText(label);
        if (auto* cancel = m_dialog.findChild<QPushButton*>())
            cancel->setEnabled(false);
        QCoreApplication::processEvents();
    }

private:
    QProgressDialog m_dialog;
};

} // namespace

QString QtSheetDialogs::askSheetToOpen()
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), u"Importa da foglio di calcolo"_s,
                                        QDir::homePath(),
                                        u"Fogli di calcolo (*.csv *.txt *.xlsx *.ods);;File CSV (*.csv "
                                        u"*.txt);;Cartelle di lavoro Excel (*.xlsx);;"
                                        u"Fogli di calcolo OpenDocument (*.ods);;Tutti i file (*)"_s);
}

QString QtSheetDialogs::askSheetToSave(const QString& suggestedName)
{
    // The kind of file follows the filter chosen, when the name has no ending of its own.
    const QString csv = u"File CSV (*.csv)"_s;
    const QString xlsx = u"Cartella di lavoro Excel (*.xlsx)"_s;
    const QString ods = u"Foglio di calcolo OpenDocument (*.ods)"_s;
    QString chosen = csv;
    const QString path = QFileDialog::getSaveFileName(
        QApplication::activeWindow(), u"Esporta in foglio di calcolo"_s, QDir::home().filePath(suggestedName),
        QStringList{csv, xlsx, ods}.join(u";;"_s), &chosen);
    return withSuffix(path, chosen == xlsx ? u"xlsx"_s : chosen == ods ? u"ods"_s : u"csv"_s);
}

std::optional<QString> QtSheetDialogs::chooseSheet(const QString& fileName, const QStringList& names)
{
    bool ok = false;
    const QString chosen = QInputDialog::getItem(QApplication::activeWindow(), u"cedolario"_s,
                                                 u"Il file %1 ha più fogli: quale leggere?"_s.arg(fileName),
                                                 names, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    return chosen;
}

QString QtSheetDialogs::askArchiveToOpen()
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), u"Importa archivio"_s, QDir::homePath(),
                                        u"Archivi di bollettini (fillcp.dll *.dll);;Tutti i file (*)"_s);
}

QString QtSheetDialogs::askPdfToSave(const QString& suggestedName)
{
    return withSuffix(
        QFileDialog::getSaveFileName(QApplication::activeWindow(), u"Salva i bollettini come PDF"_s,
                                     QDir::home().filePath(suggestedName), u"Documenti PDF (*.pdf)"_s),
        u"pdf"_s);
}

SheetAction QtSheetDialogs::review(const SheetReview& review)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(u"SheetReview"_s);
    dialog.setWindowTitle(u"cedolario"_s);
    auto* layout = new QVBoxLayout(&dialog);

    // The window stays within the screen whatever the sheet holds: names and cells are shortened,
    // a long list of ignored columns is cut, and the columns of the table are kept narrow.
    const QRect screen =
        (dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const int width = std::min(640, screen.width());
    QString summary = u"%1: %2 righe valide, %3 righe scartate."_s.arg(ElidedForMessage(review.fileName, 120),
                                                                       QString::number(review.goodRows),
                                                                       QString::number(review.refusedRows));
    if (!review.ignoredColumns.isEmpty()) {
        constexpr qsizetype ListedColumns = 10;
        QStringList listed;
        for (qsizetype i = 0; i < review.ignoredColumns.size() && i < ListedColumns; ++i)
            listed.append(ElidedForMessage(review.ignoredColumns[i]));
        if (review.ignoredColumns.size() > ListedColumns)
            listed.append(u"e altre %1"_s.arg(QString::number(review.ignoredColumns.size() - ListedColumns)));
        summary += u"\nColonne ignorate: %1."_s.arg(listed.join(u", "_s));
    }
    if (!review.missingColumns.isEmpty())
        summary += u'\n' + review.missingColumns;
    if (review.alreadyStored > 0)
        summary += review.alreadyStored == 1
                       ? u"\nGià nell'archivio: 1 bollettino, che non viene aggiunto di nuovo."_s
                       : u"\nGià nell'archivio: %1 bollettini, che non vengono aggiunti di nuovo."_s.arg(
                             QString::number(review.alreadyStored));
    if (review.goodRows > 0)
        summary += review.refusedRows > 0 ? u"\nSi può proseguire con le sole righe valide, o fermarsi."_s
                                          : u"\nCosa fare dei bollettini?"_s;
    auto* label = new QLabel(summary, &dialog);
    label->setObjectName(u"Summary"_s);
    label->setWordWrap(true);
    layout->addWidget(label);

    if (!review.problems.isEmpty()) {
        auto* table = new QTableWidget(int(review.problems.size()), 3, &dialog);
        table->setObjectName(u"Problems"_s);
        table->setHorizontalHeaderLabels({u"Riga"_s, u"Colonna"_s, u"Motivo"_s});
        table->verticalHeader()->hide();
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        for (int r = 0; r < review.problems.size(); ++r) {
            const SheetProblem& problem = review.problems[r];
            table->setItem(r, 0, new QTableWidgetItem(QString::number(problem.row)));
            table->setItem(r, 1, new QTableWidgetItem(ElidedForMessage(problem.column)));
            table->setItem(r, 2, new QTableWidgetItem(ElidedForMessage(problem.reason, 400)));
        }
        table->horizontalHeader()->setStretchLastSection(true);
        table->resizeColumnsToContents();
        for (int column = 0; column < table->columnCount(); ++column)
            table->setColumnWidth(column, std::min(table->columnWidth(column), width / 3));
        layout->addWidget(table);
    }
    if (!review.notices.isEmpty()) {
        layout->addWidget(new QLabel(u"Da controllare (i bollettini si prendono così):"_s, &dialog));
        auto* notices = new QPlainTextEdit(review.notices.join(u'\n'), &dialog);
        notices->setObjectName(u"Notices"_s);
        notices->setReadOnly(true);
        layout->addWidget(notices);
    }
    if (!review.overflowWarnings.isEmpty()) {
        layout->addWidget(new QLabel(
            u"Testi troppo lunghi per la stampa (i bollettini si stampano lo stesso):"_s, &dialog));
        auto* warnings = new QPlainTextEdit(review.overflowWarnings.join(u'\n'), &dialog);
        warnings->setObjectName(u"Overflows"_s);
        warnings->setReadOnly(true);
        layout->addWidget(warnings);
    }

    auto* buttons = new QDialogButtonBox(&dialog);
    SheetAction chosen = SheetAction::Stop;
    auto add = [&](const QString& text, SheetAction action) {
        QPushButton* button = buttons->addButton(text, QDialogButtonBox::AcceptRole);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&chosen, &dialog, action] {
            chosen = action;
            dialog.accept();
        });
        return button;
    };
    if (review.goodRows > 0) {
        add(u"Aggiungi all'archivio"_s, SheetAction::Store)->setDefault(true);
        if (review.alreadyStored > 0)
            add(u"Aggiungi anche i già presenti"_s, SheetAction::StoreAll);
        add(u"Stampa"_s, SheetAction::Print);
        add(u"Salva come PDF…"_s, SheetAction::SavePdf);
    }
    QPushButton* stop = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    QObject::connect(stop, &QPushButton::clicked, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.setMaximumSize(screen.size());
    dialog.resize(width, std::min(dialog.sizeHint().height(), screen.height()));
    if (dialog.exec() != QDialog::Accepted)
        return SheetAction::Stop;
    return chosen;
}

std::unique_ptr<BatchProgress> QtSheetDialogs::startProgress(const QString& label, int total)
{
    return std::make_unique<QtBatchProgress>(label, total);
}
