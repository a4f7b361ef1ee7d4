// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/SheetDialogs.h"

#include "core/sheet/SlipSheet.h"
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
#include <QScrollArea>
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
    return QFileDialog::getOpenFileName(
        QApplication::activeWindow(), u"Importa da foglio di calcolo"_s, QDir::homePath(),
        u"Fogli di calcolo (%1);;File CSV (*.csv *.txt);;Cartelle di lavoro Excel "
        u"(*.xlsx *.xlsm);;Fogli di calcolo OpenDocument (*.ods *.fods);;"
        u"Tutti i file (*)"_s.arg(sheetFilePatterns().join(u' ')));
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

namespace {

// "1 riga valida", "2 righe valide".
QString rows(int count, const QString& oneAdjective, const QString& manyAdjective)
{
    return count == 1 ? u"1 riga %1"_s.arg(oneAdjective)
                      : u"%1 righe %2"_s.arg(QString::number(count), manyAdjective);
}

// A read-only list of lines, a few lines high; it scrolls when there are more.
QPlainTextEdit* linesBox(const QStringList& lines, const QString& objectName, QWidget* parent)
{
    auto* box = new QPlainTextEdit(lines.join(u'\n'), parent);
    box->setObjectName(objectName);
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    const int lineHeight = box->fontMetrics().lineSpacing();
    const int shown = int(std::min<qsizetype>(lines.size(), 5));
    box->setFixedHeight(lineHeight * shown + 2 * box->frameWidth() + 10);
    return box;
}

// The summary above the lists: rows read and refused, notes, columns left out or missing, slips
// stored already, and the question.
QString reviewSummary(const SheetReview& review)
{
    QString summary = u"%1: %2, %3."_s.arg(ElidedForMessage(review.fileName, 120),
                                           rows(review.goodRows, u"valida"_s, u"valide"_s),
                                           rows(review.refusedRows, u"scartata"_s, u"scartate"_s));
    for (const QString& note : review.notes)
        summary += u'\n' + note;
    if (!review.ignoredColumns.isEmpty()) {
        constexpr qsizetype ListedColumns = 10;
        QStringList listed;
        for (qsizetype i = 0; i < review.ignoredColumns.size() && i < ListedColumns; ++i)
            listed.append(ElidedForMessage(review.ignoredColumns[i]));
        if (review.ignoredColumns.size() > ListedColumns)
            listed.append(u"e altre %1"_s.arg(QString::number(review.ignoredColumns.size() - ListedColumns)));
        summary +=
            (review.ignoredColumns.size() == 1 ? u"\nColonna ignorata: %1."_s : u"\nColonne ignorate: %1."_s)
                .arg(listed.join(u", "_s));
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
    return summary;
}

// The refused rows' table, six rows tall at most; no column wider than a third of width.
QTableWidget* problemsTable(const QList<SheetProblem>& problems, int width, QWidget* parent)
{
    auto* table = new QTableWidget(int(problems.size()), 3, parent);
    table->setObjectName(u"Problems"_s);
    table->setHorizontalHeaderLabels({u"Riga"_s, u"Colonna"_s, u"Motivo"_s});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < problems.size(); ++r) {
        const SheetProblem& problem = problems[r];
        table->setItem(r, 0, new QTableWidgetItem(QString::number(problem.row)));
        table->setItem(r, 1, new QTableWidgetItem(ElidedForMessage(problem.column)));
        table->setItem(r, 2, new QTableWidgetItem(ElidedForMessage(problem.reason, 400)));
    }
    table->horizontalHeader()->setStretchLastSection(true);
    table->resizeColumnsToContents();
    for (int column = 0; column < table->columnCount(); ++column)
        table->setColumnWidth(column, std::min(table->columnWidth(column), width / 3));
    const int shownRows = std::min(table->rowCount(), 6);
    table->setFixedHeight(table->horizontalHeader()->sizeHint().height() +
                          shownRows * table->verticalHeader()->defaultSectionSize() +
                          2 * table->frameWidth() + 4);
    return table;
}

// The review's buttons: what may be done with the slips read; the one clicked into chosen.
QDialogButtonBox* reviewButtons(const SheetReview& review, QDialog& dialog, SheetAction& chosen)
{
    auto* buttons = new QDialogButtonBox(&dialog);
    auto add = [&](const QString& text, SheetAction action, QDialogButtonBox::ButtonRole role) {
        QPushButton* button = buttons->addButton(text, role);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&chosen, &dialog, action] {
            chosen = action;
            dialog.accept();
        });
        return button;
    };
    if (review.goodRows > 0) {
        add(u"Aggiungi all'archivio"_s, SheetAction::Store, QDialogButtonBox::AcceptRole)->setDefault(true);
        if (review.alreadyStored > 0 || !review.similar.isEmpty())
            add(review.similar.isEmpty()    ? u"Aggiungi anche i già presenti"_s
                : review.alreadyStored == 0 ? u"Aggiungi anche i simili"_s
                                            : u"Aggiungi anche i già presenti e i simili"_s,
                SheetAction::StoreAll, QDialogButtonBox::AcceptRole);
        add(u"Stampa"_s, SheetAction::Print, QDialogButtonBox::AcceptRole);
        add(u"Salva come PDF…"_s, SheetAction::SavePdf, QDialogButtonBox::AcceptRole);
    }
    if (review.hiddenRows > 0)
        add(review.hiddenRows == 1 ? u"Leggi anche la riga nascosta"_s
                                   : u"Leggi anche le %1 righe nascoste"_s.arg(review.hiddenRows),
            SheetAction::ReadHidden, QDialogButtonBox::ActionRole)
            ->setObjectName(u"ReadHidden"_s);
    if (!review.mergedValues.isEmpty() || !review.missingColumns.isEmpty())
        add(u"Torna al modulo"_s, SheetAction::Stop, QDialogButtonBox::ActionRole)
            ->setObjectName(u"BackToForm"_s);
    QPushButton* stop = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    QObject::connect(stop, &QPushButton::clicked, &dialog, &QDialog::reject);
    return buttons;
}

} // namespace

SheetAction QtSheetDialogs::review(const SheetReview& review)
{
    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(u"SheetReview"_s);
    dialog.setWindowTitle(u"cedolario"_s);
    auto* outer = new QVBoxLayout(&dialog);

    // The window stays within the screen whatever the sheet holds: what it lists scrolls inside it,
    // the buttons stay below; names and cells are shortened, long lists are cut.
    const QRect screen =
        (dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const int width = std::min(720, screen.width());
    auto* scroll = new QScrollArea(&dialog);
    scroll->setObjectName(u"ReviewScroll"_s);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);

    const QString summary = reviewSummary(review);
    auto* label = new QLabel(summary, content);
    label->setObjectName(u"Summary"_s);
    label->setWordWrap(true);
    layout->addWidget(label);

    if (!review.columnUses.isEmpty() || !review.mergedValues.isEmpty()) {
        QStringList uses = review.columnUses;
        uses += review.mergedValues;
        layout->addWidget(new QLabel(u"Come si riempie ogni bollettino:"_s, content));
        layout->addWidget(linesBox(uses, u"ColumnUses"_s, content));
    }
    if (!review.mergedValues.isEmpty()) {
        auto* fromForm = new QLabel(
            u"I valori «dal modulo» vengono dal bollettino sul modulo: per cambiarli, «Torna al modulo», "
            u"correggerlo e importare di nuovo."_s,
            content);
        fromForm->setWordWrap(true);
        layout->addWidget(fromForm);
    }
    if (!review.problems.isEmpty())
        layout->addWidget(problemsTable(review.problems, width, content));
    if (!review.similar.isEmpty()) {
        layout->addWidget(new QLabel(review.similar.size() == 1
                                         ? u"Simile a un bollettino già nell'archivio (non viene aggiunto, "
                                           u"se non lo si chiede):"_s
                                         : u"Simili a bollettini già nell'archivio (non vengono aggiunti, "
                                           u"se non lo si chiede):"_s,
                                     content));
        layout->addWidget(linesBox(review.similar, u"Similar"_s, content));
    }
    if (!review.notices.isEmpty()) {
        layout->addWidget(new QLabel(u"Da controllare (i bollettini si prendono così):"_s, content));
        layout->addWidget(linesBox(review.notices, u"Notices"_s, content));
    }
    if (!review.overflowWarnings.isEmpty()) {
        layout->addWidget(new QLabel(
            u"Testi troppo lunghi per la stampa (i bollettini si stampano lo stesso):"_s, content));
        layout->addWidget(linesBox(review.overflowWarnings, u"Overflows"_s, content));
    }
    layout->addStretch(1);

    SheetAction chosen = SheetAction::Stop;
    QDialogButtonBox* buttons = reviewButtons(review, dialog, chosen);
    outer->addWidget(buttons);

    // As tall as what it shows, never taller than the screen less its frame and title bar.
    constexpr int FrameAllowance = 48;
    const int maxHeight = std::max(200, screen.height() - FrameAllowance);
    dialog.setMaximumSize(screen.width(), maxHeight);
    content->adjustSize();
    const int wanted = content->sizeHint().height() + buttons->sizeHint().height() +
                       outer->contentsMargins().top() + outer->contentsMargins().bottom() + outer->spacing() +
                       4;
    dialog.resize(std::min(std::max(width, buttons->sizeHint().width() + 24), screen.width()),
                  std::min(wanted, maxHeight));
    if (dialog.exec() != QDialog::Accepted)
        return SheetAction::Stop;
    return chosen;
}

std::unique_ptr<BatchProgress> QtSheetDialogs::startProgress(const QString& label, int total)
{
    return std::make_unique<QtBatchProgress>(label, total);
}
