// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sheet/SlipSheet.h"

#include "core/amount/AmountFormat.h"
#include "core/amount/AmountWords.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/Windows1252.h"
#include "core/files/InputFile.h"
#include "core/sheet/SheetAmount.h"
#include "core/slip/FieldRules.h"
#include "core/slip/SlipText.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// Largest CSV file read: far beyond any sheet of slips, small enough to hold in memory twice.
constexpr qint64 MaxSheetBytes = qint64(512) << 20;

struct HeaderNames {
    const char16_t* header;
    std::initializer_list<const char16_t*> aliases;
};

// By column index: the slip fields, then Date, Model, CodeLine.
const HeaderNames& headerNames(int column)
{
    static const HeaderNames names[SheetColumnCount] = {
        {u"Nome", {u"Cognome e Nome", u"Eseguito da", u"Nominativo"}},
        {u"Indirizzo", {u"Via"}},
        {u"CAP", {u"C.A.P.", u"Codice postale"}},
        {u"Città", {u"Località", u"Comune"}},
        {u"Importo", {u"di EURO", u"Euro"}},
        {u"Importo in lettere", {}},
        {u"Intestato 1", {u"Intestato a", u"Intestatario"}},
        {u"Intestato 2", {}},
        {u"Intestato 3", {}},
        {u"Conto", {u"nr. C/C", u"C/C", u"Numero conto", u"Conto corrente"}},
        {u"Causale", {}},
        {u"TD", {u"Tipo documento"}},
        {u"Data", {}},
        {u"Modello", {}},
        {u"Stampa indic.", {u"Stampa indicatore", u"Indicatore"}},
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

// Reads one row into a slip, or adds its problems.
class RowReader
{
public:
    RowReader(const QList<int>& columnOf, const QStringList& headers, QChar separator)
        : m_columnOf(columnOf), m_headers(headers), m_separator(separator)
    {
    }

    bool read(const SheetRow& row, SheetSlip& slip, QList<SheetProblem>& problems,
              QList<SheetProblem>& notices) const
    {
        const qsizetype before = problems.size();
        const qsizetype noticesBefore = notices.size();
        slip.row = row.row;
        auto problem = [&](int index, const QString& reason) {
            problems.append(
                {row.row, index >= 0 ? ElidedForMessage(m_headers.value(index)) : QString(), reason});
        };
        if (!row.refused.isEmpty()) {
            problem(-1, row.refused);
            return false;
        }
        if (row.unterminatedQuote)
            problem(-1, u"le virgolette aperte non si chiudono prima della fine del file"_s);

        SlipTexts texts;
        for (qsizetype index = 0; index < row.cells.size() && index < m_columnOf.size(); ++index) {
            const int column = m_columnOf[index];
            if (column < 0)
                continue;
            auto report = [&](const QString& reason) { problem(int(index), reason); };
            auto notice = [&](const QString& text) {
                notices.append({row.row, ElidedForMessage(m_headers.value(index)), text});
            };
            if (column < SlipFieldCount)
                readField(column, row.cells[index], texts, report, notice);
            else
                readOption(SheetColumn(column), row.cells[index], slip, report);
        }
        if (row.cells.size() > m_columnOf.size()) {
            for (qsizetype index = m_columnOf.size(); index < row.cells.size(); ++index) {
                if (!TrimmedOfSpaces(QStringView(row.cells[index].text)).isEmpty()) {
                    problem(-1, u"la riga ha più valori delle colonne dell'intestazione"_s);
                    break;
                }
            }
        }
        if (problems.size() > before) {
            notices.resize(noticesBefore);
            return false;
        }
        // The words follow the amount, as when the amount field is left.
        if (!texts[Amount].isEmpty())
            texts[AmountWords] = AmountInWords(texts[Amount]).value_or(QString());
        slip.fields = texts;
        return true;
    }

private:
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
        }
    }

    const QList<int>& m_columnOf;
    const QStringList& m_headers;
    QChar m_separator;
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
            } else if (m_header && !m_record.unterminatedQuote && m_record.fields.size() < m_named) {
                row.refused = u"la riga ha %1 valori, l'intestazione %2 colonne: i valori potrebbero essere "
                              u"nelle colonne sbagliate"_s.arg(QString::number(m_record.fields.size()),
                                                               QString::number(m_named));
            }
            if (row.refused.isEmpty()) {
                row.cells.reserve(m_record.fields.size());
                for (const QByteArray& field : std::as_const(m_record.fields)) {
                    SheetCell cell;
                    cell.text = decodeSheetField(field, m_encoding);
                    row.cells.append(std::move(cell));
                }
            }
            if (!m_header) {
                m_header = true;
                // The names up to the last one: spreadsheets leave the empty columns after it out.
                for (qsizetype i = m_record.fields.size(); i > 0; --i) {
                    if (!isSpaces(m_record.fields[i - 1])) {
                        m_named = i;
                        break;
                    }
                }
            }
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
    qsizetype m_named = 0;
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

SheetImport readSlipSheetRows(const SheetRowReader& next, QChar separator)
{
    SheetImport result;
    result.separator = separator;
    SheetRow row;
    if (!next(row)) {
        result.error = u"Il file è vuoto: la prima riga deve nominare le colonne."_s;
        return result;
    }
    if (!row.refused.isEmpty()) {
        result.error = u"La prima riga, l'intestazione, non si può usare (%1)."_s.arg(row.refused);
        return result;
    }

    QStringList headers;
    QList<int> columnOf;
    QList<bool> taken(SheetColumnCount, false);
    bool anyField = false;
    for (const SheetCell& cell : std::as_const(row.cells)) {
        const QString name = TrimmedOfSpaces(CleanInsertedText(0, cell.text));
        headers.append(name);
        int column = sheetColumnOf(name);
        if (column >= 0 && taken[column]) {
            result.ignoredColumns.append(u"%1 (ripetuta)"_s.arg(ElidedForMessage(name)));
            column = -1;
        } else if (column < 0 && !name.isEmpty()) {
            result.ignoredColumns.append(ElidedForMessage(name));
        }
        if (column >= 0) {
            taken[column] = true;
            anyField = anyField || column < SlipFieldCount;
        }
        columnOf.append(column);
    }
    if (!anyField) {
        result.error = u"La prima riga non nomina nessun campo del bollettino (per esempio Nome, "
                       u"Importo, Conto, Causale): non è l'intestazione di un elenco di bollettini."_s;
        return result;
    }
    // A name one letter from a column the header lacks is a typing slip, not a column of its own:
    // nothing is read until it is mended, so that no slip is stored without its amount.
    for (qsizetype index = 0; index < headers.size(); ++index) {
        if (columnOf[index] >= 0 || headers[index].isEmpty())
            continue;
        const int near = nearColumnOf(headers[index], taken);
        if (near >= 0) {
            result.error = u"La colonna «%1» non ha un nome noto: forse è «%2»? Correggere l'intestazione "
                           u"e riprovare."_s.arg(ElidedForMessage(headers[index]), sheetHeader(near));
            return result;
        }
    }
    for (const int key : {int(PayerName), int(Amount), int(AccountNumber)}) {
        if (!taken[key])
            result.missingColumns.append(sheetHeader(key));
    }

    result.read = true;
    // Row by row: only the slips are kept, empty rows cost nothing.
    const RowReader rows(columnOf, headers, separator);
    while (next(row)) {
        if (isBlank(row))
            continue;
        SheetSlip slip;
        if (rows.read(row, slip, result.problems, result.notices))
            result.slips.append(std::move(slip));
        else
            ++result.refusedRows;
    }
    return result;
}

SheetImport readSlipSheet(QByteArrayView bytes)
{
    const SheetBytes text(bytes);
    const char separator = detectSeparator(text.body());
    CsvRows rows(text, separator);
    SheetImport result =
        readSlipSheetRows([&rows](SheetRow& row) { return rows.next(row); }, QLatin1Char(separator));
    result.encoding = text.encoding();
    return result;
}

SheetImport readSlipSheetFile(const QString& path)
{
    SheetImport result;
    QByteArray bytes;
    if (!readInputFile(path, MaxSheetBytes, bytes, result.error))
        return result;
    return readSlipSheet(bytes);
}

namespace {

// A record's values but its date, each ended by a byte no value holds.
QByteArray undatedKey(const SlipRecord& record)
{
    QByteArray key;
    const std::array<QByteArrayView, RecordColumnCount> values = record.columnViews();
    for (int column = FirstFieldColumn; column < RecordColumnCount; ++column)
        key.append(values[column]).append('\n');
    return key;
}

} // namespace

QList<qsizetype> slipsAlreadyStored(const QList<SheetSlip>& slips, const ArchiveTable& archive,
                                    const StoredDateReader& dates)
{
    QList<qsizetype> stored;
    if (slips.isEmpty() || archive.isEmpty())
        return stored;
    // The days each slip was saved on; an invalid date for one that cannot be read.
    QHash<QByteArray, QList<QDate>> present;
    present.reserve(archive.size());
    for (const SlipRecord& record : archive)
        present[undatedKey(record)].append(dates.read(record.column(DateColumn)).value_or(QDate()));
    QByteArray bytes;
    for (qsizetype index = 0; index < slips.size(); ++index) {
        const SheetSlip& slip = slips[index];
        UnstorableCharacter problem;
        if (!encodeSavedRecord(u"-"_s, slip.fields, slip.state, bytes, problem))
            continue;
        const ArchiveTable encoded = readArchive(bytes);
        if (encoded.size() != 1)
            continue;
        const auto days = present.constFind(undatedKey(encoded.front()));
        if (days == present.constEnd())
            continue;
        if (!slip.date || days->contains(*slip.date) || days->contains(QDate()))
            stored.append(index);
    }
    return stored;
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
    if (import.missingColumns.isEmpty())
        return {};
    QStringList quoted;
    for (const QString& name : import.missingColumns)
        quoted.append(u"«%1»"_s.arg(name));
    return (import.missingColumns.size() == 1
                ? u"Manca la colonna %1: quel campo resta vuoto in ogni bollettino."_s
                : u"Mancano le colonne %1: quei campi restano vuoti in ogni bollettino."_s)
        .arg(quoted.join(u", "_s));
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

bool encodeSheetSlips(const QList<SheetSlip>& slips, QDate today, const QLocale& locale, QByteArray& records,
                      QString& errorText)
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
                errorText = u"Riga %1: %2"_s.arg(QString::number(slip.row), unstorableMessage(problem));
                return false;
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
    return true;
}
