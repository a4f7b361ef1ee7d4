#include "core/sheet/SlipSheet.h"

#include "core/amount/AmountFormat.h"
#include "core/amount/AmountWords.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/Windows1252.h"
#include "core/files/InputFile.h"
#include "core/slip/FieldRules.h"
#include "core/slip/SlipText.h"

#include <QRegularExpression>

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

// Reads one record into a slip, or adds its problems.
class RowReader
{
public:
    RowReader(const QList<int>& columnOf, const QStringList& headers, SheetEncoding encoding)
        : m_columnOf(columnOf), m_headers(headers), m_encoding(encoding)
    {
    }

    bool read(const CsvRecord& record, SheetSlip& slip, QList<SheetProblem>& problems) const
    {
        const qsizetype before = problems.size();
        slip.row = record.row;
        auto problem = [&](int index, const QString& reason) {
            problems.append(
                {record.row, index >= 0 ? ElidedForMessage(m_headers.value(index)) : QString(), reason});
        };
        if (record.unterminatedQuote)
            problem(-1, u"le virgolette aperte non si chiudono prima della fine del file"_s);

        SlipTexts texts;
        for (qsizetype index = 0; index < record.fields.size() && index < m_columnOf.size(); ++index) {
            const int column = m_columnOf[index];
            if (column < 0)
                continue;
            const QString raw = decodeSheetField(record.fields[index], m_encoding);
            if (column < SlipFieldCount)
                readField(column, raw, texts, [&](const QString& reason) { problem(int(index), reason); });
            else
                readOption(SheetColumn(column), raw, slip,
                           [&](const QString& reason) { problem(int(index), reason); });
        }
        if (record.fields.size() > m_columnOf.size()) {
            for (qsizetype index = m_columnOf.size(); index < record.fields.size(); ++index) {
                if (!isSpaces(record.fields[index])) {
                    problem(-1, u"la riga ha più valori delle colonne dell'intestazione"_s);
                    break;
                }
            }
        }
        if (problems.size() > before)
            return false;
        // The words follow the amount, as when the amount field is left.
        if (!texts[Amount].isEmpty())
            texts[AmountWords] = AmountInWords(texts[Amount]).value_or(QString());
        slip.fields = texts;
        return true;
    }

private:
    template <typename Report>
    static void readField(int field, const QString& raw, SlipTexts& texts, Report report)
    {
        if (field == AmountWords)
            return; // written from the amount
        QString text;
        switch (FieldInputOf(field)) {
        case FieldInput::AnyText:
            text = TrimmedOfSpaces(CleanInsertedText(field, raw));
            break;
        case FieldInput::Digits: {
            // Spaces between groups of digits go, as a paste would drop them; anything else is
            // refused rather than silently dropped.
            const QString digits = TrimmedOfSpaces(raw).remove(u' ');
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
            text = digits;
            break;
        }
        case FieldInput::Amount: {
            const QString trimmed = TrimmedOfSpaces(raw);
            if (trimmed.isEmpty())
                break;
            const std::optional<QString> formatted = FormatAmount(trimmed);
            if (!formatted) {
                report(u"l'importo «%1» non è valido: scrivere solo cifre e una virgola, come 1234,50"_s.arg(
                    ElidedForMessage(trimmed)));
                return;
            }
            text = *formatted;
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
    static void readOption(SheetColumn column, const QString& raw, SheetSlip& slip, Report report)
    {
        const QString text = TrimmedOfSpaces(CleanInsertedText(0, raw));
        switch (column) {
        case SheetColumn::Date:
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
    SheetEncoding m_encoding;
};

bool isBlank(const CsvRecord& record)
{
    for (const QByteArray& field : record.fields) {
        if (!isSpaces(field))
            return false;
    }
    return !record.unterminatedQuote;
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

SheetImport readSlipSheet(QByteArrayView bytes)
{
    SheetImport result;
    QByteArrayView body;
    result.encoding = detectSheetEncoding(bytes, &body);
    const char separator = detectSeparator(body);
    result.separator = QLatin1Char(separator);
    CsvReader reader(body, separator);
    CsvRecord record;
    if (!reader.next(record)) {
        result.error = u"Il file è vuoto: la prima riga deve nominare le colonne."_s;
        return result;
    }

    QStringList headers;
    QList<int> columnOf;
    QList<bool> taken(SheetColumnCount, false);
    bool anyField = false;
    for (const QByteArray& raw : std::as_const(record.fields)) {
        const QString name = TrimmedOfSpaces(CleanInsertedText(0, decodeSheetField(raw, result.encoding)));
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

    result.read = true;
    // Row by row: only the slips are kept, empty rows cost nothing.
    const RowReader rows(columnOf, headers, result.encoding);
    while (reader.next(record)) {
        if (isBlank(record))
            continue;
        SheetSlip slip;
        if (rows.read(record, slip, result.problems))
            result.slips.append(std::move(slip));
        else
            ++result.refusedRows;
    }
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
