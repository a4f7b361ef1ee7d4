// SPDX-License-Identifier: GPL-3.0-or-later

// The list's search over the archive: which records a query finds, and the shortcuts it takes (narrowing
// the last result, signatures that rule records out) never changing what it finds.
#include "core/archive/ArchiveSearch.h"
#include "ArchiveRecords.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipRecord.h"
#include "core/archive/Windows1252.h"

#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

class ArchiveSearchTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void search_data();
    void search();
    void narrowingFindsWhatAFreshSearchFinds();
    void signaturesNeverHideAMatch();
};

void ArchiveSearchTest::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("found"); // payers' names, in file order

    QTest::newRow("empty query lists everything")
        << "" << QStringList{u"Mario Rossi"_s, u"Nicolò Ferrè"_s, u"Anna Rossini"_s};
    QTest::newRow("spaces only list everything")
        << "   " << QStringList{u"Mario Rossi"_s, u"Nicolò Ferrè"_s, u"Anna Rossini"_s};
    QTest::newRow("part of a payer, any case") << "ROSS" << QStringList{u"Mario Rossi"_s, u"Anna Rossini"_s};
    QTest::newRow("accents typed or not") << "ferre" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("accented capital") << "FERRÈ" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("payee's third line") << "sezione" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("payee with accent typed plainly") << "universita" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("amount") << "12,5" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("date as the list shows it") << "07/12/2026" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("every word must match") << "rossi 99" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("words in any order") << "99 rossi" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("the reason") << "quota"
                                << QStringList{u"Mario Rossi"_s, u"Nicolò Ferrè"_s, u"Anna Rossini"_s};
    QTest::newRow("town without its accent") << "forli" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("address") << "emilia" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("postcode") << "47121" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("account") << "555777" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("amount in words") << "dodici" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("month name") << "dicembre" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("Italian month of a date stored in English") << "gennaio" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("the date as stored") << "january" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("month and year") << "maggio 2025" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("a character no archive holds") << "rossi 中" << QStringList{};
    QTest::newRow("no word spans two texts") << "rossiente" << QStringList{};
    QTest::newRow("nothing matches") << "zanzara" << QStringList{};
}

void ArchiveSearchTest::search()
{
    QFETCH(QString, query);
    QFETCH(QStringList, found);

    const QByteArray bytes = datedRecord("01 January 2026", "Mario Rossi", "Ente", "12,50") +
                             datedRecord("07 dicembre 2026", "Nicol\xF2 Ferr\xE8", "Universit\xE0", "3,00") +
                             datedRecord("05 maggio 2025", "Anna Rossini", "Ente", "99,00");
    ArchiveTable table = readArchive(bytes);
    const auto withFields = [&table](int row, const QList<std::pair<int, QString>>& fields) {
        QStringList c = table[row].columns();
        for (const auto& [field, text] : fields)
            c[FirstFieldColumn + field] = text;
        table[row] = *SlipRecord::fromColumns(c);
    };
    withFields(0, {{AmountWords, u"dodici/50"_s}});
    withFields(1, {{PayerAddress, u"Via Emilia 5"_s},
                   {PayerPostcode, u"47121"_s},
                   {PayerTown, u"Forlì"_s},
                   {AccountNumber, u"555777"_s}});
    // The third record's payee has a third line.
    withFields(2, {{PayeeLine3, u"Sezione Nord"_s}});
    const ArchiveSearch search(table, StoredDateReader(QLocale(QLocale::Italian, QLocale::Italy)));

    QStringList names;
    for (qsizetype index : search.matching(query))
        names.append(table[index].column(FirstFieldColumn + PayerName));
    QCOMPARE(names, found);
}

// Typing on narrows the previous result instead of scanning everything: each step must find what a
// search built afresh finds, also when a word is deleted or replaced.
void ArchiveSearchTest::narrowingFindsWhatAFreshSearchFinds()
{
    QByteArray bytes;
    const char* const names[] = {"Rossi Mario", "Rossini Anna", "Russo Rosa", "Ferr\xE8 Ross", "Bianchi"};
    for (int r = 0; r < 50; ++r)
        bytes += datedRecord(r % 2 ? "05 marzo 2026" : "06 maggio 2026", names[r % 5],
                             r % 3 ? "Ente" : "Rosso", QByteArray::number(r) + ",00");
    const ArchiveTable table = readArchive(bytes);
    const StoredDateReader dates(QLocale(QLocale::Italian, QLocale::Italy));
    const ArchiveSearch typing(table, dates);
    const QStringList steps = {u"r"_s,        u"ro"_s,      u"ros"_s,      u"ross"_s,      u"rossi"_s,
                               u"rossi "_s,   u"rossi m"_s, u"rossi ma"_s, u"rossi mar"_s, u"rossi m"_s,
                               u"rossi"_s,    u"ross"_s,    u"ross 1"_s,   u"ross 12"_s,   u"ross 1"_s,
                               u"rosso"_s,    u"rosso e"_s, u"e rosso"_s,  u"mag"_s,       u"maggio"_s,
                               u"maggio 3"_s, u"marzo 3"_s};
    qsizetype narrowed = 0;
    for (const QString& query : steps) {
        const QList<qsizetype> fresh = ArchiveSearch(table, dates).matching(query);
        QCOMPARE(typing.matching(query), fresh);
        narrowed += fresh.size();
    }
    QVERIFY(narrowed > 0);
}

// The signatures only rule records out: on random texts every query finds exactly the records
// whose folded values hold each of its words, as a plain substring search over them finds.
void ArchiveSearchTest::signaturesNeverHideAMatch()
{
    const char alphabet[] = "aeiorsnt 0123\xE8\xE0";
    quint32 seed = 12345;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    const auto text = [&](int length) {
        QByteArray out;
        for (int i = 0; i < length; ++i)
            out += alphabet[next(sizeof(alphabet) - 1)];
        return out;
    };
    QByteArray bytes;
    for (int r = 0; r < 300; ++r)
        bytes += datedRecord("01 gennaio 2026", text(int(next(12))), text(int(next(8))), "1,00");
    const ArchiveTable table = readArchive(bytes);
    const StoredDateReader dates(QLocale(QLocale::Italian, QLocale::Italy));
    const ArchiveSearch search(table, dates);
    int matched = 0;
    for (int q = 0; q < 400; ++q) {
        const QString query = decodeWindows1252(text(1 + int(next(4))));
        QList<qsizetype> expected;
        const QStringList words = ArchiveSearch::fold(query).split(u' ', Qt::SkipEmptyParts);
        for (qsizetype r = 0; r < table.size(); ++r) {
            QStringList values;
            for (int field = 0; field < SlipFieldCount; ++field)
                values.append(ArchiveSearch::fold(table[r].column(FirstFieldColumn + field)));
            values.append(u"01/01/2026"_s);
            values.append(u"01 gennaio 2026"_s);
            values.append(u"1 gennaio 2026"_s);
            const bool all = std::all_of(words.cbegin(), words.cend(), [&values](const QString& word) {
                return std::any_of(values.cbegin(), values.cend(),
                                   [&word](const QString& value) { return value.contains(word); });
            });
            if (all || words.isEmpty())
                expected.append(r);
        }
        QCOMPARE(search.matching(query), expected);
        matched += expected.isEmpty() || expected.size() == table.size() ? 0 : 1;
    }
    QVERIFY(matched > 50); // queries that split the records, not only all or none
}

QTEST_GUILESS_MAIN(ArchiveSearchTest)
#include "ArchiveSearchTest.moc"
