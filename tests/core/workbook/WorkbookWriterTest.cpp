// SPDX-License-Identifier: GPL-3.0-or-later

// Workbooks written and read back: each cell keeps its type and its value, codes stay text, and the
// packages are shaped as spreadsheet programs expect.
#include "core/workbook/WorkbookWriter.h"
#include "core/workbook/WorkbookReader.h"

#include "FailureCompare.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SheetCellKind)
Q_DECLARE_METATYPE(WorkbookKind)

namespace {

SheetCell textCell(const QString& value)
{
    SheetCell cell;
    cell.text = value;
    return cell;
}

SheetCell number(const QString& value, const QString& shown)
{
    SheetCell cell = textCell(shown);
    cell.kind = SheetCellKind::Number;
    cell.number = value;
    return cell;
}

SheetCell date(QDate day)
{
    SheetCell cell = textCell(day.toString(u"dd/MM/yyyy"_s));
    cell.kind = SheetCellKind::Date;
    cell.date = day;
    return cell;
}

} // namespace

class WorkbookWriterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cellsReadBack_data();
    void cellsReadBack();
    void packageShape_data();
    void packageShape();
};

void WorkbookWriterTest::cellsReadBack_data()
{
    QTest::addColumn<WorkbookKind>("kind");
    QTest::addColumn<SheetCell>("written");
    QTest::addColumn<SheetCellKind>("cellKind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QDate>("date");
    const QDate none;
    for (const WorkbookKind kind : {WorkbookKind::Xlsx, WorkbookKind::Ods}) {
        const QString prefix = kind == WorkbookKind::Xlsx ? u"xlsx: "_s : u"ods: "_s;
        auto row = [&](const char* name) -> QTestData& {
            return QTest::newRow(qPrintable(prefix + QLatin1StringView(name))) << kind;
        };
        row("postcode stays text") << textCell(u"00184"_s) << SheetCellKind::Text << u"00184"_s << QString()
                                   << none;
        row("account stays text") << textCell(u"001012345678"_s) << SheetCellKind::Text << u"001012345678"_s
                                  << QString() << none;
        row("amount is a number") << number(u"1234.50"_s, u"1234,50"_s) << SheetCellKind::Number
                                  << u"1.234,50"_s << u"1234.5"_s << none;
        row("small amount") << number(u"0.05"_s, u"0,05"_s) << SheetCellKind::Number << u"0,05"_s << u"0.05"_s
                            << none;
        row("date is a date") << date(QDate(2026, 3, 5)) << SheetCellKind::Date << u"05/03/2026"_s
                              << QString() << QDate(2026, 3, 5);
        row("date before March 1900") << date(QDate(1900, 1, 1)) << SheetCellKind::Date << u"01/01/1900"_s
                                      << QString() << QDate(1900, 1, 1);
        row("spaces kept") << textCell(u"  Anna   Bianchi "_s) << SheetCellKind::Text
                           << u"  Anna   Bianchi "_s << QString() << none;
        row("tab and line break kept")
            << textCell(u"a\tb\nc"_s) << SheetCellKind::Text << u"a\tb\nc"_s << QString() << none;
        row("accents and euro") << textCell(u"Città € 5"_s) << SheetCellKind::Text << u"Città € 5"_s
                                << QString() << none;
        row("markup characters") << textCell(u"<b> & \"x\""_s) << SheetCellKind::Text << u"<b> & \"x\""_s
                                 << QString() << none;
    }
    // What .xlsx escapes with "_x…_" must come back as written, its own look-alikes included.
    QTest::newRow("xlsx: escape look-alike kept") << WorkbookKind::Xlsx << textCell(u"_x0041_"_s)
                                                  << SheetCellKind::Text << u"_x0041_"_s << QString() << none;
    QTest::newRow("xlsx: carriage return kept")
        << WorkbookKind::Xlsx << textCell(u"a\rb"_s) << SheetCellKind::Text << u"a\rb"_s << QString() << none;
}

void WorkbookWriterTest::cellsReadBack()
{
    QFETCH(WorkbookKind, kind);
    QFETCH(SheetCell, written);
    QFETCH(SheetCellKind, cellKind);
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QDate, date);
    SheetRow header{1, {textCell(u"Valore"_s)}, false, {}};
    SheetRow row{2, {textCell(u"prima"_s), written}, false, {}};
    QByteArray bytes;
    QCOMPARE(writeWorkbook({header, row}, kind, u"Bollettini"_s, bytes), Failure());
    QCOMPARE(workbookKindOf(bytes), kind);
    WorkbookReader reader;
    QCOMPARE(reader.open(bytes), Failure());
    QCOMPARE(reader.sheetNames(), QStringList{u"Bollettini"_s});
    QCOMPARE(reader.selectSheet(QString()), Failure());
    SheetRow got;
    bool more = false;
    QCOMPARE(reader.next(got, more), Failure());
    QVERIFY(more);
    QCOMPARE(got.cells.value(0).text, u"Valore"_s);
    QCOMPARE(reader.next(got, more), Failure());
    QVERIFY(more);
    QCOMPARE(got.row, 2);
    const SheetCell cell = got.cells.value(1);
    QCOMPARE(cell.kind, cellKind);
    QCOMPARE(cell.text, text);
    QCOMPARE(cell.number, number);
    QCOMPARE(cell.date, date);
    QCOMPARE(reader.next(got, more), Failure());
    QVERIFY(!more);
}

void WorkbookWriterTest::packageShape_data()
{
    QTest::addColumn<WorkbookKind>("kind");
    QTest::addColumn<QByteArray>("firstEntry");
    QTest::newRow("xlsx") << WorkbookKind::Xlsx << QByteArray("[Content_Types].xml");
    QTest::newRow("ods: mimetype first") << WorkbookKind::Ods << QByteArray("mimetype");
}

void WorkbookWriterTest::packageShape()
{
    QFETCH(WorkbookKind, kind);
    QFETCH(QByteArray, firstEntry);
    QByteArray bytes;
    QCOMPARE(writeWorkbook({SheetRow{1, {textCell(u"Nome"_s)}, false, {}}}, kind, u"Bollettini"_s, bytes),
             Failure());
    // The zip's first local header: its name at offset 30, its length at 26 and the extra field's at 28.
    QVERIFY(bytes.startsWith("PK\x03\x04"));
    const int nameLength = quint8(bytes[26]) | quint8(bytes[27]) << 8;
    QCOMPARE(bytes.mid(30, nameLength), firstEntry);
    if (kind == WorkbookKind::Ods) {
        // Stored, no extra field, the type readable at a fixed place, as ODF asks.
        QCOMPARE(int(quint8(bytes[8]) | quint8(bytes[9]) << 8), 0);
        QCOMPARE(int(quint8(bytes[28]) | quint8(bytes[29]) << 8), 0);
        QCOMPARE(bytes.mid(38, 46), QByteArray("application/vnd.oasis.opendocument.spreadsheet"));
    }
}

QTEST_GUILESS_MAIN(WorkbookWriterTest)
#include "WorkbookWriterTest.moc"
