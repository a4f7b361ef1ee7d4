// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sheet/SlipSheet.h"

#include "core/amount/AmountFormat.h"
#include "core/amount/AmountWords.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/Windows1252.h"
#include "core/sheet/SheetAmount.h"
#include "core/slip/FieldRules.h"
#include "core/slip/SlipText.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

struct HeaderNames {
    const char16_t* header;
    std::initializer_list<const char16_t*> aliases;
};

// By column index: the slip fields, then Date, Model, CodeLine.
const HeaderNames& headerNames(int column)
{
    static const HeaderNames names[SheetColumnCount] = {
        {u"Nome", {u"Cognome e Nome", u"Nome e Cognome", u"Eseguito da", u"Nominativo"}},
        {u"Indirizzo", {u"Via"}},
        {u"CAP", {u"C.A.P.", u"Codice postale"}},
        {u"Città", {u"Località", u"Comune"}},
        {u"Importo", {u"di EURO", u"Euro", u"Quota"}},
        {u"Importo in lettere", {}},
        {u"Intestato 1", {u"Intestato a", u"Intestatario"}},
        {u"Intestato 2", {}},
        {u"Intestato 3", {}},
        {u"Conto",
         {u"nr. C/C", u"C/C", u"C/C postale", u"Numero conto", u"Conto corrente", u"Conto postale"}},
        {u"Causale", {}},
        {u"TD", {u"Tipo documento"}},
        {u"Data", {}},
        {u"Modello", {}},
        {u"Stampa indic.", {u"Stampa indicatore", u"Indicatore"}},
        {u"Cognome", {}},
        {u"Provincia", {u"Prov.", u"Sigla provincia"}},
    };
    return names[column];
}

// Lower case, accents dropped, and nothing but letters and digits kept: "Città" and "citta",
// "C.A.P." and "cap", "Stampa indic." and "stampaindic" are the same.
QString folded(QStringView text)
{
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.isLetterOrNumber())
            out += c.toLower();
    }
    return out;
}

std::optional<QDate> readSheetDate(QStringView text)
{
    static const QRegularExpression dayFirst(u"^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{2}|\\d{4})$"_s);
    static const QRegularExpression iso(u"^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"_s);
    QRegularExpressionMatch match = iso.match(text.toString());
    if (match.hasMatch()) {
        const QDate date(match.capturedView(1).toInt(), match.capturedView(2).toInt(),
                         match.capturedView(3).toInt());
        return date.isValid() ? std::optional(date) : std::nullopt;
    }
    match = dayFirst.match(text.toString());
    if (match.hasMatch()) {
        int year = match.capturedView(3).toInt();
        if (match.capturedView(3).size() == 2)
            year += 2000;
        const QDate date(year, match.capturedView(2).toInt(), match.capturedView(1).toInt());
        return date.isValid() ? std::optional(date) : std::nullopt;
    }
    // The archive's own form, "07 dicembre 2026".
    static const StoredDateReader stored{QLocale(QLocale::Italian, QLocale::Italy)};
    return stored.read(text);
}

std::optional<PaletteState> readModel(QStringView text, PaletteState state)
{
    const QString key = folded(text);
    if (key.isEmpty() || key == u"2frame" || key == u"dueframe" || key == u"2") {
        state.premarcati = false;
        state.twoFrame = true;
    } else if (key == u"premarcati" || key == u"premarcato") {
        state.premarcati = true;
        state.twoFrame = false;
    } else if (key == u"nessuno") {
        state.premarcati = false;
        state.twoFrame = false;
    } else {
        return std::nullopt;
    }
    return state;
}

std::optional<int> readCodeLine(QStringView text)
{
    const QString key = folded(text);
    if (key.isEmpty() || key == u"si" || key == u"s" || key == u"1" || key == u"x" || key == u"vero")
        return 1;
    if (key == u"no" || key == u"n" || key == u"0" || key == u"falso")
        return 0;
    if (key == u"2" || key == u"grigio")
        return 2;
    return std::nullopt;
}

// The first character of text that the archive cannot store; none when it can store all of it.
std::optional<qsizetype> unstorableAt(QStringView text)
{
    QByteArray scratch;
    qsizetype at = 0;
    if (encodeWindows1252(text, scratch, at))
        return std::nullopt;
    return at;
}

// True when bytes hold nothing but spaces (a cell TrimmedOfSpaces() leaves empty).
bool isSpaces(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (c != ' ')
            return false;
    }
    return true;
}

bool isBlank(const SheetRow& row)
{
    for (const SheetCell& cell : row.cells) {
        if (!TrimmedOfSpaces(QStringView(cell.text)).isEmpty())
            return false;
    }
    return !row.unterminatedQuote && row.refused.isEmpty();
}

// A postal account number has at most twelve digits; a numeric cell with fewer may have lost
// leading zeros.
constexpr int FullAccountDigits = 12;
constexpr int PostcodeDigits = 5;

// A total row's first text: "Totale", "Totali" (and what follows, "Totale soci"), or "Somma" alone,
// which is also a surname.
bool namesTotal(QStringView text)
{
    const QString trimmed = TrimmedOfSpaces(text).toString();
    const QString first = folded(trimmed.section(u' ', 0, 0, QString::SectionSkipEmpty));
    return first == u"totale" || first == u"totali" || folded(trimmed) == u"somma";
}

// A formula that adds up a range of the column it stands in: "SUM(E2:E4)", "of:=SUM([.E2:.E4])",
// "SOMMA(E2:E4)".
bool sumsOwnColumn(const QString& formula, int column)
{
    const QString upper = formula.toUpper();
    if (!upper.contains(u"SUM(") && !upper.contains(u"SOMMA(") && !upper.contains(u"SUBTOTAL("))
        return false;
    const QRegularExpression ownColumn(u"(?<![A-Z])\\$?%1\\$?[0-9]"_s.arg(sheetColumnLetters(column)));
    return ownColumn.match(upper).hasMatch();
}

// What one row turned out to be.
enum class RowKind {
    Slip,    // read: the slip as the form would hold it
    Refused, // a rule refused it: problems says why
    Total,   // a total of the other rows: left out
};

// Reads one row into a slip, or adds its problems. The header's columns come first, then the values
// every row takes (merged), as if the sheet had a column for each.
class RowReader
{
public:
    RowReader(const QList<int>& columnOf, const QStringList& headers, qsizetype sheetColumns,
              const QList<SheetCell>& merged, QChar separator)
        : m_columnOf(columnOf), m_headers(headers), m_sheetColumns(sheetColumns), m_merged(merged),
          m_separator(separator), m_hasSurname(columnOf.contains(int(SheetColumn::Surname)))
    {
        m_amountColumn = int(columnOf.indexOf(int(Amount)));
        if (m_amountColumn >= sheetColumns)
            m_amountColumn = -1;
    }

    // namesSomeone: the row's own cells name a payer or an account (merged values aside).
    RowKind read(const SheetRow& row, SheetSlip& slip, QList<SheetProblem>& problems,
                 QList<SheetProblem>& notices, bool& namesSomeone) const
    {
        const qsizetype before = problems.size();
        const qsizetype noticesBefore = notices.size();
        slip.row = row.row;
        namesSomeone = false;
        auto problem = [&](int index, const QString& reason) {
            problems.append(
                {row.row, index >= 0 ? ElidedForMessage(m_headers.value(index)) : QString(), reason});
        };
        if (!row.refused.isEmpty()) {
            problem(-1, row.refused);
            return RowKind::Refused;
        }
        if (isTotal(row))
            return RowKind::Total;
        if (row.unterminatedQuote)
            problem(-1, u"le virgolette aperte non si chiudono prima della fine del file"_s);

        SlipTexts texts;
        QString surname;
        QString province;
        for (qsizetype index = 0; index < m_columnOf.size(); ++index) {
            const int column = m_columnOf[index];
            if (column < 0)
                continue;
            const SheetCell& cell = index < m_sheetColumns
                                        ? (index < row.cells.size() ? row.cells[index] : m_empty)
                                        : m_merged[index - m_sheetColumns];
            auto report = [&](const QString& reason) { problem(int(index), reason); };
            auto notice = [&](const QString& text) {
                notices.append({row.row, ElidedForMessage(m_headers.value(index)), text});
            };
            if (!cell.problem.isEmpty()) {
                report(cell.problem);
                continue;
            }
            if (index < m_sheetColumns &&
                (column == PayerName || column == AccountNumber || column == int(SheetColumn::Surname)) &&
                !TrimmedOfSpaces(QStringView(cell.text)).isEmpty())
                namesSomeone = true;
            if (column < SlipFieldCount)
                readField(column, cell, texts, report, notice);
            else if (column == int(SheetColumn::Surname))
                surname = readText(cell, report);
            else if (column == int(SheetColumn::Province))
                province = readText(cell, report).toUpper();
            else
                readOption(SheetColumn(column), cell, slip, report);
        }
        for (qsizetype index = m_sheetColumns; index < row.cells.size(); ++index) {
            if (!TrimmedOfSpaces(QStringView(row.cells[index].text)).isEmpty()) {
                problem(-1, u"la riga ha più valori delle colonne dell'intestazione"_s);
                break;
            }
        }
        if (problems.size() > before) {
            notices.resize(noticesBefore);
            return RowKind::Refused;
        }
        // "Cognome" and "Nome" in columns of their own: the slip's name is the surname first.
        if (m_hasSurname)
            texts[PayerName] = QStringList{surname, texts[PayerName]}.join(u' ').trimmed();
        if (!province.isEmpty())
            texts[PayerTown] = texts[PayerTown].isEmpty() ? u"(%1)"_s.arg(province)
                                                          : u"%1 (%2)"_s.arg(texts[PayerTown], province);
        // The words follow the amount, as when the amount field is left.
        if (!texts[Amount].isEmpty())
            texts[AmountWords] = AmountInWords(texts[Amount]).value_or(QString());
        slip.fields = texts;
        return RowKind::Slip;
    }

    // The header of the column that fills field, or its usual name when none does.
    QString headerOf(int field) const
    {
        const qsizetype index = m_columnOf.indexOf(field);
        return index >= 0 ? ElidedForMessage(m_headers.value(index)) : sheetHeader(field);
    }

private:
    // A total row: its first text says so ("Totale", "Somma"), or its amount adds up its own column.
    bool isTotal(const SheetRow& row) const
    {
        for (const SheetCell& cell : row.cells) {
            if (cell.kind != SheetCellKind::Text || TrimmedOfSpaces(QStringView(cell.text)).isEmpty())
                continue;
            if (namesTotal(cell.text))
                return true;
            break;
        }
        return m_amountColumn >= 0 && m_amountColumn < row.cells.size() &&
               sumsOwnColumn(row.cells[m_amountColumn].formula, m_amountColumn);
    }

    template <typename Report> static QString readText(const SheetCell& cell, Report report)
    {
        const QString text = TrimmedOfSpaces(CleanInsertedText(0, cell.text));
        if (const std::optional<qsizetype> bad = unstorableAt(text)) {
            report(u"il carattere %1 non può essere salvato nell'archivio"_s.arg(
                characterLabel(characterAt(text, *bad))));
            return {};
        }
        return text;
    }

    template <typename Report, typename Notice>
    void readField(int field, const SheetCell& cell, SlipTexts& texts, Report report, Notice notice) const
    {
        if (field == AmountWords)
            return; // written from the amount
        const QString& raw = cell.text;
        QString text;
        switch (FieldInputOf(field)) {
        case FieldInput::AnyText:
            text = TrimmedOfSpaces(CleanInsertedText(field, raw));
            break;
        case FieldInput::Digits: {
            if (cell.kind == SheetCellKind::Date) {
                report(u"la cella è una data, il campo vuole cifre"_s);
                return;
            }
            // Spaces between groups of digits go, as a paste would drop them; anything else is
            // refused rather than silently dropped.
            QString digits = TrimmedOfSpaces(raw).remove(u' ');
            for (qsizetype i = 0; i < digits.size(); ++i) {
                if (!FieldAcceptsCharacter(field, digits[i])) {
                    report(u"il campo accetta solo cifre, %1 non lo è"_s.arg(
                        characterLabel(characterAt(digits, i))));
                    return;
                }
            }
            const int maxLength = FieldMaxLength(field);
            if (maxLength > 0 && digits.size() > maxLength) {
                report(u"il campo accetta al massimo %1 cifre"_s.arg(maxLength));
                return;
            }
            // A sheet that took the postcode for a number dropped its leading zeros: 00184 became 184.
            if (field == PayerPostcode && !digits.isEmpty() && digits.size() < PostcodeDigits) {
                const QString full = digits.rightJustified(PostcodeDigits, u'0');
                notice(u"il CAP %1 è stato completato con gli zeri iniziali: %2"_s.arg(digits, full));
                digits = full;
            }
            if (field == AccountNumber && cell.kind == SheetCellKind::Number && !digits.isEmpty() &&
                digits.size() < FullAccountDigits) {
                notice(u"il conto %1 viene da una cella numerica, che perde gli zeri iniziali: controllarlo"_s
                           .arg(digits));
            }
            text = digits;
            break;
        }
        case FieldInput::Amount: {
            if (TrimmedOfSpaces(QStringView(raw)).isEmpty() && cell.kind != SheetCellKind::Number)
                break;
            std::variant<QString, SheetAmountRefusal> amount = readSheetAmount(cell, m_separator);
            if (const auto* refusal = std::get_if<SheetAmountRefusal>(&amount)) {
                report(refusal->reason);
                return;
            }
            text = std::get<QString>(std::move(amount));
            break;
        }
        }
        if (const std::optional<qsizetype> bad = unstorableAt(text)) {
            report(u"il carattere %1 non può essere salvato nell'archivio"_s.arg(
                characterLabel(characterAt(text, *bad))));
            return;
        }
        texts[field] = text;
    }

    template <typename Report>
    static void readOption(SheetColumn column, const SheetCell& cell, SheetSlip& slip, Report report)
    {
        const QString text = TrimmedOfSpaces(CleanInsertedText(0, cell.text));
        switch (column) {
        case SheetColumn::Date:
            if (cell.kind == SheetCellKind::Date && cell.date.isValid()) {
                slip.date = cell.date;
                return;
            }
            if (text.isEmpty())
                return;
            if (const std::optional<QDate> date = readSheetDate(text))
                slip.date = date;
            else
                report(u"«%1» non è una data: scrivere gg/mm/aaaa"_s.arg(ElidedForMessage(text)));
            return;
        case SheetColumn::Model:
            if (const std::optional<PaletteState> state = readModel(text, slip.state))
                slip.state = *state;
            else
                report(u"«%1» non è un modello: scrivere premarcati o 2 frame"_s.arg(ElidedForMessage(text)));
            return;
        case SheetColumn::CodeLine:
            if (const std::optional<int> check = readCodeLine(text))
                slip.state.check = CheckBoxState(*check);
            else
                report(u"«%1» non è una scelta: scrivere sì o no"_s.arg(ElidedForMessage(text)));
            return;
        case SheetColumn::Surname:
        case SheetColumn::Province:
            return; // read as texts
        }
    }

    const QList<int>& m_columnOf;
    const QStringList& m_headers;
    qsizetype m_sheetColumns;
    const QList<SheetCell>& m_merged;
    QChar m_separator;
    bool m_hasSurname;
    int m_amountColumn = -1;
    SheetCell m_empty;
};

// The rows of a CSV file's bytes, decoded in the file's encoding. A row with a zero byte, or in an
// encoding other than the file's, is refused as a whole; so is a row with fewer values than the
// header has names, whose values may have moved to other columns.
class CsvRows
{
public:
    CsvRows(const SheetBytes& bytes, char separator)
        : m_bytes(bytes), m_reader(bytes.body(), separator), m_encoding(bytes.encoding())
    {
    }

    bool next(SheetRow& row)
    {
        while (m_reader.next(m_record)) {
            if (m_header && isBlankRecord())
                continue; // an empty row costs nothing
            row.row = m_record.row;
            row.cells.clear();
            row.unterminatedQuote = m_record.unterminatedQuote;
            row.refused.clear();
            if (m_record.line.contains('\0')) {
                row.refused = u"la riga contiene un byte nullo: il file è danneggiato o non è un testo"_s;
            } else if (!m_bytes.fits(m_record.line)) {
                row.refused =
                    m_encoding == SheetEncoding::Windows1252
                        ? u"la riga è scritta in UTF-8, il resto del file in Windows-1252: salvare il "
                          u"file in una sola codifica"_s
                        : u"la riga non è scritta in UTF-8 come il resto del file (forse vi è stata "
                          u"incollata da un altro programma): correggerla, o salvare il file di nuovo"_s;
            }
            if (row.refused.isEmpty()) {
                row.cells.reserve(m_record.fields.size());
                for (const QByteArray& field : std::as_const(m_record.fields)) {
                    SheetCell cell;
                    cell.text = decodeSheetField(field, m_encoding);
                    row.cells.append(std::move(cell));
                }
            }
            m_header = true;
            return true;
        }
        return false;
    }

private:
    bool isBlankRecord() const
    {
        for (const QByteArray& field : m_record.fields) {
            if (!isSpaces(field))
                return false;
        }
        return !m_record.unterminatedQuote;
    }

    const SheetBytes& m_bytes;
    CsvReader m_reader;
    SheetEncoding m_encoding;
    CsvRecord m_record;
    bool m_header = false;
};

// Edits, at most max, that turn a into b (a letter added, dropped, changed or two swapped).
int editDistance(QStringView a, QStringView b, int max)
{
    if (std::abs(a.size() - b.size()) > max)
        return max + 1;
    QList<int> before(b.size() + 1);
    QList<int> previous(b.size() + 1);
    QList<int> current(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// The column that a header not known by itself almost names ("Imorto", "Indirzzo"), or -1. Short
// names are left alone: "Via" and "CAP" are one letter from too many words.
int nearColumnOf(QStringView header, const QList<bool>& taken)
{
    const QString key = folded(header);
    if (key.size() < 4)
        return -1;
    const int max = key.size() >= 8 ? 2 : 1;
    for (int column = 0; column < SheetColumnCount; ++column) {
        if (taken[column])
            continue;
        const HeaderNames& names = headerNames(column);
        if (editDistance(key, folded(QStringView(names.header)), max) <= max)
            return column;
        for (const char16_t* alias : names.aliases) {
            if (editDistance(key, folded(QStringView(alias)), max) <= max)
                return column;
        }
    }
    return -1;
}

} // namespace

SheetTexts::SheetTexts(const SlipTexts& texts)
{
    qsizetype size = 0;
    for (const QString& text : texts)
        size += text.size();
    m_bytes.reserve(size);
    for (int field = 0; field < SlipFieldCount; ++field) {
        const QString& text = texts[field];
        qsizetype bad = 0;
        if (!encodeWindows1252(text, m_bytes, bad)) {
            for (const QChar c : text) {
                if (!encodeWindows1252(QStringView(&c, 1), m_bytes, bad))
                    m_bytes.append('?');
            }
        }
        m_ends[field] = quint32(m_bytes.size());
    }
}

QString SheetTexts::operator[](int field) const
{
    const quint32 begin = field == 0 ? 0 : m_ends[field - 1];
    return decodeWindows1252(QByteArrayView(m_bytes).sliced(begin, m_ends[field] - begin));
}

SheetTexts::operator SlipTexts() const
{
    SlipTexts texts;
    for (int field = 0; field < SlipFieldCount; ++field)
        texts[field] = (*this)[field];
    return texts;
}

QString sheetHeader(int column)
{
    return QString::fromUtf16(headerNames(column).header);
}

QStringList sheetHeaderAliases(int column)
{
    QStringList aliases;
    for (const char16_t* alias : headerNames(column).aliases)
        aliases.append(QString::fromUtf16(alias));
    return aliases;
}

int sheetColumnOf(QStringView header)
{
    const QString key = folded(header);
    if (key.isEmpty())
        return -1;
    for (int column = 0; column < SheetColumnCount; ++column) {
        const HeaderNames& names = headerNames(column);
        if (folded(QStringView(names.header)) == key)
            return column;
        for (const char16_t* alias : names.aliases) {
            if (folded(QStringView(alias)) == key)
                return column;
        }
    }
    return -1;
}

namespace {

// The columns a row names, by column index; -1 for a cell that names none.
QList<int> namedColumns(const SheetRow& row, int& distinct)
{
    QList<int> columns;
    QList<bool> seen(SheetColumnCount, false);
    distinct = 0;
    for (const SheetCell& cell : row.cells) {
        const int column = cell.kind == SheetCellKind::Text
                               ? sheetColumnOf(TrimmedOfSpaces(CleanInsertedText(0, cell.text)))
                               : -1;
        if (column >= 0 && !seen[column]) {
            seen[column] = true;
            ++distinct;
        }
        columns.append(column);
    }
    return columns;
}

// Finds the header: the first row, within the first rows, that names two columns at least.
bool findHeader(const SheetRowReader& next, SheetRow& row, QString& refusal)
{
    while (next(row)) {
        if (row.row > SheetHeaderSearchRows)
            return false;
        if (!row.refused.isEmpty()) {
            if (refusal.isEmpty())
                refusal = u"riga %1: %2"_s.arg(QString::number(row.row), row.refused);
            continue;
        }
        int distinct = 0;
        namedColumns(row, distinct);
        if (distinct >= 2)
            return true;
    }
    return false;
}

// How the slip takes a column, for the review: "«Quota» → di EURO".
QString columnUse(const QString& header, int column, const QList<int>& columnOf, const QStringList& headers)
{
    const QString name = u"«%1»"_s.arg(ElidedForMessage(header));
    if (column < SlipFieldCount)
        return u"%1 → %2"_s.arg(name, FieldName(column));
    switch (SheetColumn(column)) {
    case SheetColumn::Date:
        return u"%1 → data del salvataggio nell'archivio"_s.arg(name);
    case SheetColumn::Model:
        return u"%1 → modello del bollettino"_s.arg(name);
    case SheetColumn::CodeLine:
        return u"%1 → Stampa indic."_s.arg(name);
    case SheetColumn::Surname: {
        const qsizetype first = columnOf.indexOf(int(PayerName));
        if (first < 0)
            return u"%1 → %2"_s.arg(name, FieldName(PayerName));
        return u"%1 e «%2» → %3, come «Cognome Nome»"_s.arg(name, ElidedForMessage(headers.value(first)),
                                                            FieldName(PayerName));
    }
    case SheetColumn::Province:
        return u"%1 → aggiunta alla %2, come «Roma (RM)»"_s.arg(name, FieldName(PayerTown));
    }
    return name;
}

// The header's columns as the rows are read: each cell's name and the slip column it fills (-1 for
// none), which slip columns are taken, and how many cells the header names.
struct HeaderColumns {
    QStringList headers;
    QList<int> columnOf;
    QList<bool> taken;
    qsizetype named = 0; // the names up to the last one: spreadsheets leave the empty columns after it out
};

// The header row's columns; the names that fill nothing go to result's ignored columns.
HeaderColumns headerColumnsOf(const SheetRow& row, SheetImport& result)
{
    HeaderColumns header;
    int distinct = 0;
    header.columnOf = namedColumns(row, distinct);
    header.taken = QList<bool>(SheetColumnCount, false);
    for (qsizetype index = 0; index < row.cells.size(); ++index) {
        const QString name = TrimmedOfSpaces(CleanInsertedText(0, row.cells[index].text));
        header.headers.append(name);
        int& column = header.columnOf[index];
        if (column >= 0 && header.taken[column]) {
            result.ignoredColumns.append(u"%1 (ripetuta)"_s.arg(ElidedForMessage(name)));
            column = -1;
        } else if (column < 0 && !name.isEmpty()) {
            result.ignoredColumns.append(ElidedForMessage(name));
        }
        if (column >= 0)
            header.taken[column] = true;
        if (!name.isEmpty())
            header.named = index + 1;
    }
    return header;
}

// A name one letter from a column the header lacks is a typing slip, not a column of its own:
// nothing is read until it is mended, so that no slip is stored without its amount. A failure, the
// whole message, when the header has one.
Failure headerHasNoNearName(const HeaderColumns& header, int headerRow)
{
    for (qsizetype index = 0; index < header.headers.size(); ++index) {
        if (header.columnOf[index] >= 0 || header.headers[index].isEmpty())
            continue;
        const int near = nearColumnOf(header.headers[index], header.taken);
        if (near >= 0) {
            return Failure::failed(
                u"La colonna «%1» (riga %2) non ha un nome noto: forse è «%3»? Correggere "
                u"l'intestazione e riprovare."_s.arg(ElidedForMessage(header.headers[index]),
                                                     QString::number(headerRow), sheetHeader(near)));
        }
    }
    return {};
}

// Mail merge: a field the sheet has no column for takes the value given for every row, through the
// same rules as a cell. The values, as cells after the sheet's own, join header.
QList<SheetCell> mergedCells(const SheetMerge& merge, HeaderColumns& header, SheetImport& result)
{
    QList<SheetCell> merged;
    for (int field = 0; field < SlipFieldCount; ++field) {
        const QString value = TrimmedOfSpaces(QStringView(merge.values[field])).toString();
        if (field == AmountWords || header.taken[field] || value.isEmpty() ||
            (field == PayerName && header.taken[int(SheetColumn::Surname)]))
            continue;
        SheetCell cell;
        cell.text = value;
        merged.append(cell);
        header.columnOf.append(field);
        header.headers.append(u"%1 (%2)"_s.arg(sheetHeader(field), merge.source));
        header.taken[field] = true;
        result.mergedValues.append(
            u"%1: %2 (%3)"_s.arg(FieldName(field), ElidedForMessage(value), merge.source));
    }
    return merged;
}

// The rows after the header into result's slips, problems and left-out rows.
void readSlipRows(const SheetRowReader& next, const RowReader& rows, const SheetMerge& merge, bool textFile,
                  qsizetype named, SheetImport& result)
{
    // A row that names nobody and no account, beside rows that do, is a total the sheet adds up
    // itself; known only once every row is read.
    QList<SheetSlip> nameless;
    bool anyoneNamed = false;
    auto complete = [&](const SheetSlip& slip) {
        bool whole = true;
        if (slip.fields[Amount].isEmpty()) {
            result.problems.append({slip.row, rows.headerOf(Amount),
                                    u"manca l'importo: nessun bollettino senza importo viene dal foglio"_s});
            whole = false;
        }
        if (slip.fields[AccountNumber].isEmpty()) {
            result.problems.append(
                {slip.row, rows.headerOf(AccountNumber),
                 u"manca il numero di conto: nessun bollettino senza conto viene dal foglio"_s});
            whole = false;
        }
        if (whole)
            result.slips.append(slip);
        else
            ++result.refusedRows;
    };
    SheetRow row;
    while (next(row)) {
        if (isBlank(row))
            continue;
        if (row.hidden && !merge.includeHidden) {
            result.hiddenRows.append(row.row);
            continue;
        }
        if (textFile && row.refused.isEmpty() && !row.unterminatedQuote && row.cells.size() < named) {
            row.refused =
                u"la riga ha %1 valori, l'intestazione %2 colonne: i valori potrebbero essere "
                u"nelle colonne sbagliate"_s.arg(QString::number(row.cells.size()), QString::number(named));
        }
        SheetSlip slip;
        bool namesSomeone = false;
        switch (rows.read(row, slip, result.problems, result.notices, namesSomeone)) {
        case RowKind::Total:
            result.totalRows.append(row.row);
            break;
        case RowKind::Refused:
            ++result.refusedRows;
            break;
        case RowKind::Slip:
            if (!namesSomeone && !slip.fields[Amount].isEmpty()) {
                nameless.append(std::move(slip));
                break;
            }
            complete(slip);
            break;
        }
        anyoneNamed = anyoneNamed || namesSomeone;
    }
    for (const SheetSlip& slip : std::as_const(nameless)) {
        if (anyoneNamed)
            result.totalRows.append(slip.row);
        else
            complete(slip);
    }
    if (!nameless.isEmpty()) {
        auto byRow = [](const auto& a, const auto& b) { return a.row < b.row; };
        std::stable_sort(result.slips.begin(), result.slips.end(), byRow);
        std::stable_sort(result.problems.begin(), result.problems.end(), byRow);
        std::sort(result.totalRows.begin(), result.totalRows.end());
    }
}

} // namespace

int sheetHeaderRow(const SheetRowReader& next)
{
    SheetRow row;
    QString refusal;
    return findHeader(next, row, refusal) ? row.row : 0;
}

Failure readSlipSheetRows(const SheetRowReader& next, SheetImport& result, QChar separator,
                          const SheetMerge& merge, bool textFile)
{
    result = SheetImport();
    result.separator = separator;
    SheetRow row;
    QString refusal;
    if (!findHeader(next, row, refusal)) {
        QString message =
            u"Nessuna delle prime %1 righe nomina almeno due colonne del bollettino (per esempio Nome, "
            u"Importo, Conto, Causale): manca l'intestazione di un elenco di bollettini."_s.arg(
                SheetHeaderSearchRows);
        if (!refusal.isEmpty())
            message += u" Una riga non si può leggere (%1)."_s.arg(refusal);
        return Failure::failed(message);
    }
    result.headerRow = row.row;

    HeaderColumns header = headerColumnsOf(row, result);
    if (Failure failure = headerHasNoNearName(header, result.headerRow))
        return failure;
    const QList<bool>& taken = header.taken;
    for (qsizetype index = 0; index < header.headers.size(); ++index) {
        const int column = header.columnOf[index];
        if (column >= 0 && !(column == PayerName && taken[int(SheetColumn::Surname)]))
            result.columnUses.append(
                columnUse(header.headers[index], column, header.columnOf, header.headers));
    }
    const bool namesPayer = taken[PayerName] || taken[int(SheetColumn::Surname)];
    const qsizetype sheetColumns = header.columnOf.size();
    const QList<SheetCell> merged = mergedCells(merge, header, result);
    if (!namesPayer && !taken[PayerName])
        result.missingColumns.append(sheetHeader(PayerName));
    for (const int key : {int(Amount), int(AccountNumber)}) {
        if (!taken[key])
            result.missingColumns.append(sheetHeader(key));
    }

    // Row by row: only the slips are kept, empty rows cost nothing.
    const RowReader rows(header.columnOf, header.headers, sheetColumns, merged, separator);
    readSlipRows(next, rows, merge, textFile, header.named, result);
    return {};
}

Failure readSlipSheet(QByteArrayView bytes, SheetImport& import, const SheetMerge& merge)
{
    const SheetBytes text(bytes);
    const char separator = detectSeparator(text.body());
    CsvRows rows(text, separator);
    Failure failure = readSlipSheetRows([&rows](SheetRow& row) { return rows.next(row); }, import,
                                        QLatin1Char(separator), merge, true);
    import.encoding = text.encoding();
    return failure;
}

namespace {

// The values two slips are told apart by, with their names: the fields but the words, then the model
// and the code line.
constexpr int ComparedFields[] = {PayerName,     PayerAddress,  PayerPostcode, PayerTown,
                                  Amount,        PayeeLine1,    PayeeLine2,    PayeeLine3,
                                  AccountNumber, PaymentReason, DocumentType};
// Most values a similar slip differs in.
constexpr int MostDifferences = 2;

// The bit of a payer in StoredSlipCheck's first look: its length (63 for any longer) and its last byte.
size_t payerShape(QByteArrayView payer)
{
    return size_t(qMin<qsizetype>(payer.size(), 63)) * 256 + (payer.isEmpty() ? 0u : uchar(payer.back()));
}

QString shownValue(QByteArrayView bytes)
{
    const QString text = decodeWindows1252(bytes);
    return text.isEmpty() ? u"vuoto"_s : u"«%1»"_s.arg(ElidedForMessage(text, 40));
}

} // namespace

StoredSlipCheck::StoredSlipCheck(const QList<SheetSlip>& slips, const StoredDateReader& dates)
    : m_slips(slips), m_dates(dates), m_encoded(slips.size()), m_held(slips.size(), false),
      m_similar(slips.size())
{
    QList<bool> found(slips.size(), false);
    QByteArray bytes;
    for (qsizetype index = 0; index < slips.size(); ++index) {
        UnstorableCharacter problem;
        if (!encodeSavedRecord(u"-"_s, slips[index].fields, slips[index].state, bytes, problem))
            continue;
        const ArchiveTable one = readArchive(bytes);
        if (one.size() != 1)
            continue;
        m_encoded[index] = one.front();
        found[index] = true;
    }
    // The views point into the records' bytes, which no longer move.
    for (qsizetype index = 0; index < slips.size(); ++index) {
        if (!found[index])
            continue;
        const QByteArrayView payer = m_encoded[index].columnBytes(FirstFieldColumn + PayerName);
        m_byPayer[payer].append(index);
        m_payerShapes.set(payerShape(payer));
    }
}

void StoredSlipCheck::add(const SlipRecord& record)
{
    if (m_byPayer.isEmpty())
        return;
    const QByteArrayView payer = record.columnBytes(FirstFieldColumn + PayerName);
    if (!m_payerShapes.test(payerShape(payer)))
        return;
    const auto candidates = m_byPayer.constFind(payer);
    if (candidates == m_byPayer.constEnd())
        return;
    const std::array<QByteArrayView, RecordColumnCount> stored = record.columnViews();
    std::optional<PaletteState> storedState; // read once, for the first slip that needs it
    for (const qsizetype index : *candidates) {
        const std::array<QByteArrayView, RecordColumnCount> sheet = m_encoded[index].columnViews();
        if (!m_held[index]) {
            bool same = true;
            for (int column = FirstFieldColumn; column < RecordColumnCount && same; ++column)
                same = stored[column] == sheet[column];
            // Saved on the day the row gives, or on a day that cannot be read.
            if (same) {
                const std::optional<QDate>& day = m_slips[index].date;
                if (!day)
                    m_held[index] = true;
                else if (const std::optional<QDate> saved = m_dates.read(record.column(DateColumn));
                         !saved || *saved == *day)
                    m_held[index] = true;
            }
        }
        // Similar: the values that differ are counted first, and named only when they are few.
        int differing = 0;
        for (const int field : ComparedFields)
            differing += stored[FirstFieldColumn + field] != sheet[FirstFieldColumn + field];
        if (differing > MostDifferences)
            continue;
        if (!storedState)
            storedState = paletteStateOf(record);
        const PaletteState& own = m_slips[index].state;
        const bool otherModel =
            storedState->premarcati != own.premarcati || storedState->twoFrame != own.twoFrame;
        const bool otherCheck = storedState->check != own.check;
        const int count = differing + int(otherModel) + int(otherCheck);
        if (count == 0 || count > MostDifferences)
            continue;
        QStringList differences;
        for (const int field : ComparedFields) {
            const int column = FirstFieldColumn + field;
            if (stored[column] != sheet[column])
                differences.append(u"%1: %2 nell'archivio, %3 nel foglio"_s.arg(
                    FieldName(field), shownValue(stored[column]), shownValue(sheet[column])));
        }
        if (otherModel)
            differences.append(u"modello diverso"_s);
        if (otherCheck)
            differences.append(u"Stampa indic. diversa"_s);
        // A later stored slip takes the place of an earlier one: the one saved most recently is named.
        m_similar[index] = SimilarSlip{index, m_dates.listText(record.column(DateColumn)), differences};
    }
}

QList<qsizetype> StoredSlipCheck::alreadyStored() const
{
    QList<qsizetype> stored;
    for (qsizetype index = 0; index < m_held.size(); ++index) {
        if (m_held[index])
            stored.append(index);
    }
    return stored;
}

QList<SimilarSlip> StoredSlipCheck::similarToStored(const QList<qsizetype>& held) const
{
    QList<SimilarSlip> similar;
    for (qsizetype index = 0; index < m_similar.size(); ++index) {
        if (m_similar[index] && !held.contains(index))
            similar.append(*m_similar[index]);
    }
    return similar;
}

QList<qsizetype> slipsAlreadyStored(const QList<SheetSlip>& slips, const ArchiveTable& archive,
                                    const StoredDateReader& dates)
{
    StoredSlipCheck check(slips, dates);
    for (const SlipRecord& record : archive)
        check.add(record);
    return check.alreadyStored();
}

QList<SimilarSlip> slipsSimilarToStored(const QList<SheetSlip>& slips, const QList<qsizetype>& held,
                                        const ArchiveTable& archive, const StoredDateReader& dates)
{
    StoredSlipCheck check(slips, dates);
    for (const SlipRecord& record : archive)
        check.add(record);
    return check.similarToStored(held);
}

QString similarText(const SimilarSlip& similar, const QList<SheetSlip>& slips)
{
    return u"Riga %1: simile a un bollettino del %2 (%3)"_s.arg(
        QString::number(slips.at(similar.slip).row), similar.storedOn, similar.differences.join(u"; "_s));
}

QString problemText(const SheetProblem& problem)
{
    if (problem.column.isEmpty())
        return u"Riga %1: %2"_s.arg(QString::number(problem.row), problem.reason);
    return u"Riga %1, colonna «%2»: %3"_s.arg(QString::number(problem.row), problem.column, problem.reason);
}

QString ignoredColumnsText(const SheetImport& import)
{
    if (import.ignoredColumns.isEmpty())
        return {};
    QStringList quoted;
    for (const QString& name : import.ignoredColumns)
        quoted.append(u"«%1»"_s.arg(name));
    return u"Colonne ignorate: %1."_s.arg(quoted.join(u", "_s));
}

QString missingColumnsText(const SheetImport& import)
{
    QStringList sentences;
    if (import.missingColumns.contains(sheetHeader(PayerName)))
        sentences.append(
            u"Manca la colonna «%1»: il nome resta vuoto in ogni bollettino."_s.arg(sheetHeader(PayerName)));
    QStringList needed;
    for (const int key : {int(Amount), int(AccountNumber)}) {
        if (import.missingColumns.contains(sheetHeader(key)))
            needed.append(u"«%1»"_s.arg(sheetHeader(key)));
    }
    if (!needed.isEmpty())
        sentences.append((needed.size() == 1 ? u"Manca la colonna %1 e nessun valore la sostituisce: "_s
                                             : u"Mancano le colonne %1 e nessun valore le sostituisce: "_s)
                             .arg(needed.join(u" e "_s)) +
                         u"nessuna riga diventa un bollettino."_s);
    return sentences.join(u' ');
}

QString countText(qsizetype count, const QString& one, const QString& many)
{
    return u"%1 %2"_s.arg(QString::number(count), count == 1 ? one : many);
}

namespace {

// "5" or "5, 9 e altre 3": the rows named, the first few of many.
QString rowList(const QList<int>& rows)
{
    constexpr qsizetype Listed = 10;
    QStringList numbers;
    for (qsizetype i = 0; i < rows.size() && i < Listed; ++i)
        numbers.append(QString::number(rows[i]));
    QString list = numbers.join(u", "_s);
    if (rows.size() > Listed)
        list += u" e altre %1"_s.arg(QString::number(rows.size() - Listed));
    return list;
}

} // namespace

QStringList sheetReadNotes(const SheetImport& import)
{
    QStringList notes;
    if (import.headerRow > 0)
        notes.append(u"Intestazione alla riga %1."_s.arg(QString::number(import.headerRow)));
    if (!import.hiddenRows.isEmpty())
        notes.append(u"Righe nascoste, saltate: %1 (%2 %3)."_s.arg(
            QString::number(import.hiddenRows.size()), import.hiddenRows.size() == 1 ? u"riga"_s : u"righe"_s,
            rowList(import.hiddenRows)));
    if (!import.totalRows.isEmpty())
        notes.append(u"Righe di totale, saltate: %1 (%2 %3)."_s.arg(
            QString::number(import.totalRows.size()), import.totalRows.size() == 1 ? u"riga"_s : u"righe"_s,
            rowList(import.totalRows)));
    return notes;
}

QStringList sheetFilePatterns()
{
    return {u"*.csv"_s, u"*.txt"_s, u"*.xlsx"_s, u"*.xlsm"_s, u"*.ods"_s, u"*.fods"_s};
}

QString sheetColumnLetters(int column)
{
    QString name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

QList<QStringList> sheetOfRecords(const QList<SlipRecord>& records, const StoredDateReader& dates)
{
    QList<QStringList> sheet;
    sheet.reserve(records.size() + 1);
    QStringList header;
    header.append(sheetHeader(int(SheetColumn::Date)));
    for (int field = 0; field < SlipFieldCount; ++field)
        header.append(sheetHeader(field));
    header.append(sheetHeader(int(SheetColumn::Model)));
    header.append(sheetHeader(int(SheetColumn::CodeLine)));
    sheet.append(header);
    for (const SlipRecord& record : records) {
        QStringList row;
        row.append(dates.listText(record.column(DateColumn)));
        const SlipTexts fields = slipTextsOf(record);
        for (const QString& text : fields)
            row.append(text);
        const PaletteState state = paletteStateOf(record);
        row.append(state.premarcati ? u"premarcati"_s : state.twoFrame ? u"2 frame"_s : u"nessuno"_s);
        row.append(state.check == CheckBoxState::Unticked ? u"no"_s
                   : state.check == CheckBoxState::Greyed ? u"2"_s
                                                          : u"sì"_s);
        sheet.append(row);
    }
    return sheet;
}

Failure encodeSheetSlips(const QList<SheetSlip>& slips, QDate today, const QLocale& locale,
                         QByteArray& records)
{
    records.clear();
    // Twice over the slips: first the size of the records, so that the buffer is taken once at its
    // size rather than grown to twice the records, then the records themselves.
    QByteArray out;
    QByteArray record;
    for (int pass = 0; pass < 2; ++pass) {
        qsizetype size = 0;
        for (const SheetSlip& slip : slips) {
            UnstorableCharacter problem;
            if (!encodeSavedRecord(savedDateText(slip.date.value_or(today), locale), slip.fields, slip.state,
                                   record, problem)) {
                return Failure::failed(
                    u"Riga %1: %2"_s.arg(QString::number(slip.row), unstorableMessage(problem)));
            }
            if (pass == 0)
                size += record.size();
            else
                out += record;
        }
        if (pass == 0)
            out.reserve(size);
    }
    records = std::move(out);
    return {};
}
