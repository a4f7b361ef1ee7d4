// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchiveDates.h"

#include "core/slip/SlipText.h"

#include "core/archive/Windows1252.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

bool storable(const QString& text)
{
    QByteArray scratch;
    qsizetype unencodable = 0;
    return encodeWindows1252(text, scratch, unencodable);
}

QString folded(QStringView name)
{
    return name.toString().toCaseFolded();
}

void addMonthNames(QHash<QString, int>& months, const QLocale& locale)
{
    for (int month = 1; month <= 12; ++month) {
        for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            for (const QString& name :
                 {locale.monthName(month, type), locale.standaloneMonthName(month, type)}) {
                if (!name.isEmpty())
                    months.insert(folded(name), month);
            }
        }
    }
}

// Month names of every language Qt knows, for dates saved by users of other languages. Where two
// languages give one name to different months, the first language in Qt's order keeps it; the reader
// looks at its own and Italian names first. Made once, at the first date that needs it.
const QHash<QString, int>& monthsOfEveryLanguage()
{
    static const QHash<QString, int> months = [] {
        QHash<QString, int> all;
        const QList<QLocale> locales =
            QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
        QSet<QLocale::Language> seen;
        for (const QLocale& locale : locales) {
            if (locale.language() == QLocale::C || seen.contains(locale.language()))
                continue;
            seen.insert(locale.language());
            QHash<QString, int> own;
            addMonthNames(own, locale);
            for (auto it = own.cbegin(); it != own.cend(); ++it)
                all.insert(it.key(), all.value(it.key(), it.value()));
        }
        return all;
    }();
    return months;
}

} // namespace

QString savedDateText(QDate date, const QLocale& locale)
{
    const QString format = u"dd MMMM yyyy"_s;
    const QString text = locale.toString(date, format);
    if (storable(text))
        return text;
    return QLocale(QLocale::Italian, QLocale::Italy).toString(date, format);
}

StoredDateReader::StoredDateReader(const QLocale& system)
{
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    // Italian last, so it wins where two languages share a name for different months.
    for (const QLocale& locale : {system, italian})
        addMonthNames(m_months, locale);
}

std::optional<QDate> StoredDateReader::read(QStringView stored) const
{
    const QList<QStringView> parts = TrimmedOfSpaces(stored).split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 3 || parts[0].isEmpty() || parts[0].size() > 2 || parts[2].size() != 4 ||
        !IsDecimalDigits(parts[0]) || !IsDecimalDigits(parts[2]))
        return std::nullopt;
    const QString name = folded(parts[1]);
    int month = m_months.value(name);
    if (month == 0)
        month = monthsOfEveryLanguage().value(name);
    if (month == 0)
        return std::nullopt;
    const QDate date(parts[2].toInt(), month, parts[0].toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString StoredDateReader::listText(QStringView stored) const
{
    const std::optional<QDate> date = read(stored);
    if (!date)
        return stored.toString();
    // "dd/MM/yyyy", without the locale machinery of QDate::toString: it runs once per date of a list load.
    const auto two = [](int n) { return QString::number(n).rightJustified(2, u'0'); };
    return two(date->day()) + u'/' + two(date->month()) + u'/' + QString::number(date->year());
}

QString listEntryText(const SlipRecord& record, const StoredDateReader& dates)
{
    return dates.listText(record.column(DateColumn)) + u" - "_s + record.column(FirstFieldColumn);
}

QString listEntryDetails(const SlipRecord& record)
{
    const auto field = [&record](int index) { return record.column(FirstFieldColumn + index); };
    QStringList lines;
    if (const QString amount = field(Amount); !amount.isEmpty())
        lines.append(u"Importo: %1 euro"_s.arg(amount));
    QStringList payee;
    for (int line : {PayeeLine1, PayeeLine2, PayeeLine3}) {
        if (const QString text = field(line); !text.isEmpty())
            payee.append(text);
    }
    if (!payee.isEmpty())
        lines.append(u"Intestato a: "_s + payee.join(u", "_s));
    if (const QString reason = field(PaymentReason); !reason.isEmpty())
        lines.append(u"Causale: "_s + reason);
    return lines.join(u'\n');
}

QString deletedSlipLine(const SlipRecord& record, const StoredDateReader& dates)
{
    QString line = listEntryText(record, dates);
    if (const QString amount = record.column(FirstFieldColumn + Amount); !amount.isEmpty())
        line += u", %1 euro"_s.arg(amount);
    return line;
}

QStringList listEntries(const ArchiveTable& table, const StoredDateReader& dates)
{
    QStringList entries;
    entries.reserve(table.size());
    // Saves of one day share their date text: read it once.
    QByteArrayView lastStored;
    QString lastShown;
    bool first = true;
    for (const SlipRecord& record : table) {
        const QByteArrayView stored = record.columnBytes(DateColumn);
        if (first || stored != lastStored) {
            lastStored = stored;
            lastShown = dates.listText(decodeWindows1252(stored));
            first = false;
        }
        const QByteArrayView name = record.columnBytes(FirstFieldColumn);
        QString entry(lastShown.size() + 3 + name.size(), Qt::Uninitialized);
        char16_t* out = reinterpret_cast<char16_t*>(entry.data());
        std::copy_n(reinterpret_cast<const char16_t*>(lastShown.constData()), lastShown.size(), out);
        out += lastShown.size();
        *out++ = u' ';
        *out++ = u'-';
        *out++ = u' ';
        decodeWindows1252Into(name, out);
        entries.append(std::move(entry));
    }
    return entries;
}
