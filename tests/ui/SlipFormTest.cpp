// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "core/geometry/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QScreen>

class SlipFormTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fieldsStandWhereTheSlipHasThem_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("PayerName") << int(PayerName) << QRect(4440, 4200, 3855, 315);
        QTest::newRow("PayerAddress") << int(PayerAddress) << QRect(3840, 4560, 3135, 315);
        QTest::newRow("PayerPostcode") << int(PayerPostcode) << QRect(7560, 4560, 735, 315);
        QTest::newRow("PayerTown") << int(PayerTown) << QRect(3600, 4920, 4695, 315);
        QTest::newRow("Amount") << int(Amount) << QRect(6360, 600, 1935, 315);
        QTest::newRow("AmountWords") << int(AmountWords) << QRect(3960, 1200, 4335, 315);
        QTest::newRow("PayeeLine1") << int(PayeeLine1) << QRect(120, 1920, 8175, 315);
        QTest::newRow("PayeeLine2") << int(PayeeLine2) << QRect(120, 2280, 8175, 315);
        QTest::newRow("PayeeLine3") << int(PayeeLine3) << QRect(120, 2640, 8175, 315);
        QTest::newRow("AccountNumber") << int(AccountNumber) << QRect(1680, 600, 1215, 315);
        QTest::newRow("PaymentReason") << int(PaymentReason) << QRect(120, 3360, 8175, 315);
        QTest::newRow("DocumentType") << int(DocumentType) << QRect(480, 1200, 735, 315);
    }
    void fieldsStandWhereTheSlipHasThem()
    {
        QFETCH(int, field);
        QFETCH(QRect, twips);
        AppHarness app;
        Form1& form = app.start();
        QLineEdit* edit = form.findChild<QLineEdit*>(QStringLiteral("Text1_%1").arg(field));
        QVERIFY(edit);
        QCOMPARE(inTwips(edit->geometry()), twips);
        QCOMPARE(edit->font().family(), QStringLiteral("Arial"));
        QCOMPARE(edit->font().pointSizeF(), 8.25);
        QVERIFY(edit->font().bold());
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(edit->maxLength(), field == PayerPostcode ? 5 : 32767);
    }

    void startsWithAnEmptySlipAndItsTitle()
    {
        AppHarness app;
        Form1& form = app.start();
        QCOMPARE(form.windowTitle(), QStringLiteral("Cedolario      [ver. 1.3]"));
        QCOMPARE(form.size(), QSize(561, 430)); // 8415 × 6450 twips
        for (int field = 0; field < SlipFieldCount; ++field)
            QCOMPARE(form.fieldText(field), field == DocumentType ? QStringLiteral("123") : QString());
        QVERIFY(form.Text1[AmountWords]->isVisible());
        QVERIFY(form.Label12->text().isEmpty());
        QVERIFY(form.Label14->text().isEmpty());
        QVERIFY(form.Label15->text().isEmpty());
    }

    void headingAndCaptionsReadAsOnTheSlip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("twips");
        QTest::addColumn<double>("size");
        QTest::addColumn<QColor>("colour");
        const QColor red(255, 0, 0);
        QTest::newRow("heading band")
            << "Label1"
            << QStringLiteral("   CONTI CORRENTI POSTALI  -  Ricevuta di Accredito") +
                   QString(64, QLatin1Char(' ')) + QStringLiteral("BancoPosta")
            << QPoint(0, 0) << 9.0 << QColor(255, 255, 255);
        QTest::newRow("account") << "Label17"
                                 << "nr. C/C" << QPoint(1080, 640) << 9.0 << red;
        QTest::newRow("document type") << "Label11"
                                       << "TD" << QPoint(120, 1240) << 9.0 << QColor(0, 0, 0);
        QTest::newRow("payer") << "Label2"
                               << "ESEGUITO DA" << QPoint(3120, 3840) << 9.0 << red;
        QTest::newRow("town") << "Label6" << QStringLiteral("Città") << QPoint(3120, 4960) << 6.75 << red;
        QTest::newRow("stamp") << "Label7"
                               << "BOLLO DELL'UFFICIO POSTALE" << QPoint(240, 5400) << 6.0 << red;
        QTest::newRow("warning") << "Label18"
                                 << "IMPORTANTE: NON SCRIVERE NELLA ZONA SOTTOSTANTE" << QPoint(4080, 5400)
                                 << 6.0 << red;
        QTest::newRow("document type caption") << "Label22"
                                               << "tipo documento" << QPoint(7440, 5520) << 6.0 << red;
    }
    void headingAndCaptionsReadAsOnTheSlip()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QPoint, twips);
        QFETCH(double, size);
        QFETCH(QColor, colour);
        AppHarness app;
        Form1& form = app.start();
        auto* label = form.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), QPoint(twipsToPixels(twips.x()), twipsToPixels(twips.y())));
        QCOMPARE(label->font().pointSizeF(), size);
        QVERIFY(label->font().bold());
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    }

    void imprintCarriesTheDrawnFiguresAndToday()
    {
        AppHarness app;
        app.clock.date = QDate(2026, 12, 7);
        app.clock.draws = {25.5 / 70, 323.5 / 700, 2.5 / 7, 0.0, 0.0, 0.0};
        Form1& form = app.start();
        QCOMPARE(form.Label23->text(), QStringLiteral("45/523    03    07-12-26   R1"));
        QCOMPARE(form.Label26->text(), QStringLiteral("C/C   3000"));
        QCOMPARE(form.Label26->pos(), QPoint(24, 330)); // 360, 4950 twips
    }

    // Tab runs through the twelve fields in the slip's order, then on into the palette's controls and
    // back to the first field; Shift+Tab runs the same round backwards.
    void tabRunsThroughTheFieldsAndThePalette()
    {
        AppHarness app;
        Form1& form = app.start();
        Form2& palette = app.palette();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QList<QWidget*> round;
        for (int field : {AccountNumber, Amount, DocumentType, AmountWords, PayeeLine1, PayeeLine2,
                          PayeeLine3, PaymentReason, PayerName, PayerAddress, PayerPostcode, PayerTown})
            round.append(form.Text1[static_cast<std::size_t>(field)]);
        // The buttons' upper row left to right (apri, elimina, info, salva, stampa), then the lower one.
        for (const char* name : {"Option1_0", "Option1_1", "Check1", "List1", "Image2_5", "Image2_6",
                                 "Image2_3", "Image2_1", "Image2_4", "Image2_2", "Image2_0"})
            round.append(palette.findChild<QWidget*>(QString::fromLatin1(name)));
        round.append(form.Text1[AccountNumber]);
        QVERIFY(!round.contains(nullptr));

        form.Text1[AccountNumber]->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), form.Text1[AccountNumber]);
        for (qsizetype i = 1; i < round.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_COMPARE(QApplication::focusWidget(), round[i]);
        }
        for (qsizetype i = round.size() - 2; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
            QTRY_COMPARE(QApplication::focusWidget(), round[i]);
        }
    }

    void minimisingHidesThePaletteAndRestoringBringsItBack()
    {
        AppHarness app;
        Form1& form = app.start();
        QVERIFY(app.palette().isVisible());
        form.showMinimized();
        QTRY_VERIFY(!app.palette().isVisible());
        form.showNormal();
        QTRY_VERIFY(app.palette().isVisible());
        form.showMaximized();
        QTRY_VERIFY(app.palette().isVisible());
    }

    void paletteIsLoadedBeforeTheSlipFormIsPlacedOrShown()
    {
        AppHarness app;
        struct Seen {
            bool slipVisible;
            QPoint slipPosition;
            QString versionLabel;
            bool masked;
        };
        QList<Seen> seen;
        Form1* formSeen = nullptr;
        app.services.archivePath = [&] {
            // The palette is still being loaded: find it among the top-level windows.
            Form2* palette = nullptr;
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* candidate = qobject_cast<Form2*>(window))
                    palette = candidate;
            if (!palette)
                return QString();
            seen.append({formSeen->isVisible(), formSeen->pos(), palette->Label1->text(),
                         !palette->mask().isEmpty()});
            return app.directory.filePath(QStringLiteral("fillcp.dll"));
        };
        formSeen = &app.create();
        const QPoint unplaced = app.form->pos();
        app.session->load();
        QVERIFY(!seen.isEmpty());
        QVERIFY(!seen.first().slipVisible);
        QCOMPARE(seen.first().slipPosition, unplaced);
        QCOMPARE(seen.first().versionLabel, QStringLiteral(" ver. 1.3 "));
        QVERIFY(seen.first().masked);
    }

    void pairIsCentredAcrossTheScreen()
    {
        AppHarness app;
        Form1& form = app.start();
        const QRect screen = form.screen()->geometry();
        // Centred as if the two windows stood 200 twips apart.
        const int pairWidth = form.frameGeometry().width() + app.palette().frameGeometry().width() + 200 / 15;
        const int leftMargin = form.frameGeometry().left() - screen.left();
        const int rightMargin = screen.right() + 1 - (form.frameGeometry().left() + pairWidth);
        // The frame is only known once the window is shown, after it was placed.
        const int frame = form.frameGeometry().width() - form.width();
        QVERIFY2(std::abs(leftMargin - rightMargin) <= frame + 1,
                 qPrintable(QStringLiteral("%1 vs %2").arg(leftMargin).arg(rightMargin)));
        const int topMargin = form.frameGeometry().top() - screen.top();
        const int bottomMargin = screen.bottom() + 1 - form.frameGeometry().bottom() - 1;
        QVERIFY(std::abs(topMargin - bottomMargin) <= form.frameGeometry().height() - form.height() + 1);
    }
};

QTEST_MAIN(SlipFormTest)
#include "SlipFormTest.moc"
