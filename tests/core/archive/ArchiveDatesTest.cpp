// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchiveDates.h"

#include <QTest>

using namespace Qt::StringLiterals;

class ArchiveDatesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesTheSaveDate_data();
    void writesTheSaveDate();
    void showsTheListDate_data();
    void showsTheListDate();
    void italianDateBothWays();
    void listEntries();
};

void ArchiveDatesTest::writesTheSaveDate_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");

    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QTest::newRow("italian december") << italian << QDate(2026, 12, 7) << u"07 dicembre 2026"_s;
    QTest::newRow("italian january, two-digit day") << italian << QDate(2027, 1, 15) << u"15 gennaio 2027"_s;
    QTest::newRow("english") << QLocale(QLocale::English, QLocale::UnitedKingdom) << QDate(2026, 12, 7)
                             << u"07 December 2026"_s;
    QTest::newRow("french with an accent")
        << QLocale(QLocale::French, QLocale::France) << QDate(2026, 2, 1) << u"01 février 2026"_s;
    QTest::newRow("greek cannot be stored: italian")
        << QLocale(QLocale::Greek, QLocale::Greece) << QDate(2026, 3, 9) << u"09 marzo 2026"_s;
    QTest::newRow("russian cannot be stored: italian")
        << QLocale(QLocale::Russian, QLocale::Russia) << QDate(2026, 8, 20) << u"20 agosto 2026"_s;
}

void ArchiveDatesTest::writesTheSaveDate()
{
    QFETCH(QLocale, locale);
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QCOMPARE(savedDateText(date, locale), text);
}

void ArchiveDatesTest::showsTheListDate_data()
{
    QTest::addColumn<QLocale>("system");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale french(QLocale::French, QLocale::France);
    QTest::newRow("italian on an english system") << english << u"07 dicembre 2026"_s << u"07/12/2026"_s;
    QTest::newRow("italian in capitals") << english << u"07 DICEMBRE 2026"_s << u"07/12/2026"_s;
    QTest::newRow("one-digit day") << english << u"7 Dicembre 2026"_s << u"07/12/2026"_s;
    QTest::newRow("italian abbreviation") << english << u"05 gen 2027"_s << u"05/01/2027"_s;
    QTest::newRow("system language") << english << u"07 december 2026"_s << u"07/12/2026"_s;
    QTest::newRow("german system") << german << u"03 März 2026"_s << u"03/03/2026"_s;
    QTest::newRow("french accent in capitals") << french << u"01 FÉVRIER 2026"_s << u"01/02/2026"_s;
    QTest::newRow("italian still read on a german system")
        << german << u"31 ottobre 2026"_s << u"31/10/2026"_s;
    // A shared archive holds dates saved by users of other languages than the reader's.
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QTest::newRow("english on an italian system") << italian << u"07 December 2026"_s << u"07/12/2026"_s;
    QTest::newRow("english on a german system") << german << u"07 December 2026"_s << u"07/12/2026"_s;
    QTest::newRow("spanish") << italian << u"03 enero 2027"_s << u"03/01/2027"_s;
    QTest::newRow("dutch") << italian << u"12 maart 2026"_s << u"12/03/2026"_s;
    QTest::newRow("portuguese") << italian << u"20 dezembro 2026"_s << u"20/12/2026"_s;
    QTest::newRow("polish, month in the genitive") << italian << u"05 stycznia 2026"_s << u"05/01/2026"_s;
    QTest::newRow("swedish in capitals") << italian << u"09 OKTOBER 2026"_s << u"09/10/2026"_s;
    QTest::newRow("no language's month") << italian << u"07 brumaio 2026"_s << u"07 brumaio 2026"_s;
    QTest::newRow("impossible day shown as stored")
        << english << u"31 febbraio 2026"_s << u"31 febbraio 2026"_s;
    QTest::newRow("numeric date shown as stored") << english << u"07/12/2026"_s << u"07/12/2026"_s;
    QTest::newRow("two-digit year shown as stored") << english << u"07 dicembre 26"_s << u"07 dicembre 26"_s;
    QTest::newRow("words shown as stored") << english << u"ieri sera"_s << u"ieri sera"_s;
    QTest::newRow("empty") << english << QString() << QString();
    QTest::newRow("leap day") << english << u"29 febbraio 2028"_s << u"29/02/2028"_s;
}

void ArchiveDatesTest::showsTheListDate()
{
    QFETCH(QLocale, system);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(StoredDateReader(system).listText(stored), shown);
}

void ArchiveDatesTest::italianDateBothWays()
{
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    const StoredDateReader reader(QLocale(QLocale::English, QLocale::UnitedStates));
    for (int month = 1; month <= 12; ++month) {
        const QDate date(2026, month, 28);
        const QString stored = savedDateText(date, italian);
        QCOMPARE(reader.read(stored), std::optional<QDate>(date));
    }
}

void ArchiveDatesTest::listEntries()
{
    const ArchiveTable table = {*SlipRecord::fromColumns({u"07 dicembre 2026"_s, u"Rossi Mario"_s}),
                                *SlipRecord::fromColumns({u"07 dicembre 2026"_s}),
                                *SlipRecord::fromColumns({u"data rovinata"_s, u"Verdi"_s})};
    const StoredDateReader reader(QLocale(QLocale::Italian, QLocale::Italy));
    QCOMPARE(listEntryText(table[0], reader), u"07/12/2026 - Rossi Mario"_s);
    QCOMPARE(::listEntries(table, reader),
             QStringList({u"07/12/2026 - Rossi Mario"_s, u"07/12/2026 - "_s, u"data rovinata - Verdi"_s}));
}

QTEST_GUILESS_MAIN(ArchiveDatesTest)
#include "ArchiveDatesTest.moc"
