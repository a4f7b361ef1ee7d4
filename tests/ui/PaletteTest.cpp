// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "core/geometry/Twips.h"
#include "ui/PictureButton.h"
#include "ui/apertura.h"

#include "ui/ArchiveList.h"
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

Q_DECLARE_METATYPE(PaletteState)

class PaletteTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlsStandWhereThePaletteHasThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips"); // an empty size: only the position is fixed
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("premarcati") << "Option1_0" << QRect(420, 240, 1215, 255) << "premarcati"
                                    << "Conto Corrente Premarcato";
        QTest::newRow("2 frame") << "Option1_1" << QRect(420, 840, 975, 240) << "2 frame"
                                 << "Conto Corrente 2frame";
        QTest::newRow("code line") << "Check1" << QRect(450, 1200, 0, 255) << "Stampa indic."
                                   << "";
        QTest::newRow("euro picture") << "Picture1" << QRect(2400, 1680, 255, 255) << ""
                                      << "";
        QTest::newRow("list title") << "Label2_0" << QRect(375, 2160, 2445, 270) << "Archivio Conti Correnti"
                                    << "";
        QTest::newRow("list header") << "Label3_0" << QRect(600, 2400, 1815, 255)
                                     << QStringLiteral("Data") + QString(13, QLatin1Char(' ')) +
                                            QStringLiteral("Nome")
                                     << "";
        QTest::newRow("list") << "List1" << QRect(285, 2640, 2655, 2010) << ""
                              << "";
        QTest::newRow("count") << "Label4" << QRect(360, 4680, 0, 0) << "Record: 0"
                               << "";
        QTest::newRow("version") << "Label1" << QRect(2280, 4680, 0, 0) << " ver. 1.3 "
                                 << "";
        QTest::newRow("exit") << "Image2_0" << QRect(2520, 6000, 465, 465) << ""
                              << "";
        QTest::newRow("save") << "Image2_1" << QRect(1995, 5040, 375, 375) << ""
                              << "";
        QTest::newRow("minimise") << "Image2_2" << QRect(1920, 6000, 465, 465) << ""
                                  << "";
        QTest::newRow("info") << "Image2_3" << QRect(1440, 5040, 375, 375) << ""
                              << "";
        QTest::newRow("print") << "Image2_4" << QRect(2520, 5040, 375, 375) << ""
                               << "";
        QTest::newRow("recall") << "Image2_5" << QRect(360, 5040, 375, 375) << ""
                                << "Carica c/c";
        QTest::newRow("delete") << "Image2_6" << QRect(870, 5040, 375, 375) << ""
                                << "Elimina c/c";
        QTest::newRow("recall caption") << "Label3_2" << QRect(360, 5430, 0, 0) << "apri"
                                        << "";
        QTest::newRow("delete caption") << "Label3_1" << QRect(810, 5430, 0, 0) << "elimina"
                                        << "";
        QTest::newRow("info caption") << "Label3_5" << QRect(1485, 5430, 0, 0) << "info"
                                      << "";
        QTest::newRow("save caption") << "Label3_6" << QRect(2010, 5430, 0, 0) << "salva"
                                      << "";
        QTest::newRow("print caption") << "Label3_7" << QRect(2430, 5430, 0, 0) << "stampa"
                                       << "";
    }
    void controlsStandWhereThePaletteHasThem()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        AppHarness app;
        app.start();
        Form2& palette = app.palette();
        QWidget* widget = palette.client->findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->parentWidget(), palette.client);
        const QRect actual = inTwips(widget->geometry());
        QCOMPARE(actual.topLeft(), twips.topLeft());
        if (twips.width() > 0)
            QVERIFY2(actual.width() >= twips.width() - 15 &&
                         actual.width() <= std::max(twips.width(), pixelsToTwips(widget->sizeHint().width())),
                     qPrintable(QString::number(actual.width())));
        if (twips.height() > 0)
            QCOMPARE(actual.height(), twips.height());
        QCOMPARE(widget->toolTip(), toolTip);
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            QCOMPARE(button->text(), text);
        else if (auto* label = qobject_cast<QLabel*>(widget); label && !text.isEmpty())
            QCOMPARE(label->text(), text);
    }

    void startsWithTwoFrameSelectedAndTheCodeLineTicked()
    {
        AppHarness app;
        app.start();
        Form2& palette = app.palette();
        QVERIFY(!palette.Option1[0]->isChecked());
        QVERIFY(palette.Option1[1]->isChecked());
        QCOMPARE(palette.Check1->checkState(), Qt::Checked);
        QCOMPARE(palette.paletteState(), (PaletteState{false, true, CheckBoxState::Ticked}));
        QCOMPARE(palette.List1->count(), 0);
        QCOMPARE(palette.Label4->text(), QStringLiteral("Record: 0"));
    }

    void euroPictureIsAWhiteSignOnBlack()
    {
        AppHarness app;
        app.start();
        const QImage euro = app.palette().euroMark();
        QCOMPARE(euro.size(), QSize(84, 84));
        QCOMPARE(QColor(euro.pixel(0, 0)), QColor(Qt::black));
        QCOMPARE(QColor(euro.pixel(83, 83)), QColor(Qt::black));
        int white = 0;
        for (int y = 0; y < 84; ++y)
            for (int x = 0; x < 84; ++x)
                white += qGray(euro.pixel(x, y)) > 200 ? 1 : 0;
        QVERIFY2(white > 84 * 84 / 10 && white < 84 * 84 / 2, qPrintable(QString::number(white)));
    }

    void outlineIsTheUnionOfThePanels()
    {
        AppHarness app;
        app.start();
        Form2& palette = app.palette();
        QCOMPARE(palette.size(), QSize(219, 450)); // 217 × 448 client pixels and the border
        const QRegion mask = palette.mask();
        QCOMPARE(mask.boundingRect(), QRect(QPoint(9, 9), QPoint(208, 440)));
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(218, 449)));
        QVERIFY(mask.contains(QPoint(100, 50)));
        QVERIFY(mask.contains(QPoint(100, 120)));
        QVERIFY(!mask.contains(QPoint(20, 120)));
    }

    void placesItselfBesideTheSlipFormWhenActivated()
    {
        AppHarness app;
        Form1& form = app.start();
        Form2& palette = app.palette();
        const auto expected = [&form] {
            const QRect slip = form.frameGeometry();
            return QPoint(slip.left() + slip.width() + 20, slip.top() - 10); // 300 and 150 twips
        };
        QTRY_COMPARE(palette.pos(), expected());

        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.move(form.pos() + QPoint(40, 30));
        QVERIFY(palette.pos() != expected());
        palette.activateWindow();
        QTRY_COMPARE(palette.pos(), expected());
    }

    void notClampedToTheScreen()
    {
        // A window manager keeps windows on the screen as it sees fit, and may not activate one that is
        // off it: this is about the placement alone.
        if (QGuiApplication::platformName() != u"offscreen")
            QSKIP("on the offscreen platform only");
        AppHarness app;
        Form1& form = app.start();
        Form2& palette = app.palette();
        const auto expected = [&form] {
            const QRect slip = form.frameGeometry();
            return QPoint(slip.left() + slip.width() + 20, slip.top() - 10); // 300 and 150 twips
        };
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QRect screen = form.screen()->geometry();
        form.move(screen.right() - 100, screen.top() + 5);
        palette.activateWindow();
        QTRY_COMPARE(palette.pos(), expected());
        QVERIFY(palette.x() > screen.right());
        QVERIFY(palette.y() < screen.top());
    }

    void commandsAndOptionsGiveTheFocusBackToTheSlipForm_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("premarcati option") << "Option1_0";
        QTest::newRow("2 frame option") << "Option1_1";
        QTest::newRow("save button") << "Image2_1";
        QTest::newRow("print button") << "Image2_4";
        QTest::newRow("recall button") << "Image2_5";
        QTest::newRow("delete button") << "Image2_6";
    }
    void commandsAndOptionsGiveTheFocusBackToTheSlipForm()
    {
        QFETCH(QString, control);
        AppHarness app;
        Form1& form = app.start();
        app.messages.answers = {false, false};
        form.Text1[PayeeLine2]->setFocus();
        Form2& palette = app.palette();
        palette.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&palette));
        QWidget* widget = palette.client->findChild<QWidget*>(control);
        QVERIFY(widget);
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        QTRY_COMPARE(QApplication::activeWindow(), &form);
        QCOMPARE(QApplication::focusWidget(), form.Text1[PayeeLine2]);
        QVERIFY(app.messages.shown.size() <= 1); // only the save question
        if (control == QStringLiteral("Image2_4"))
            QCOMPARE(app.printer.printedPages.size(), std::size_t(1));
        if (control == QStringLiteral("Option1_0"))
            QCOMPARE(palette.paletteState(), (PaletteState{true, false, CheckBoxState::Ticked}));
    }

    void exitButtonEndsAtOnce()
    {
        AppHarness app;
        app.start();
        QTest::mouseClick(app.palette().Image2[Form2::ExitButton], Qt::LeftButton);
        QCOMPARE(app.exits, 1);
        QVERIFY(app.messages.shown.isEmpty());
    }

    void closingTheSlipFormEndsTheApplication()
    {
        AppHarness app;
        Form1& form = app.start();
        form.close();
        QCOMPARE(app.exits, 1);
    }

    void minimiseButtonMinimisesThePair()
    {
        AppHarness app;
        Form1& form = app.start();
        QTest::mouseClick(app.palette().Image2[Form2::MinimiseButton], Qt::LeftButton);
        QTRY_VERIFY(form.isMinimized());
        QVERIFY(!app.palette().isVisible());
        form.showNormal();
        QTRY_VERIFY(app.palette().isVisible());
    }

    void recalledStateSetsOptionsOneAfterTheOther_data()
    {
        QTest::addColumn<PaletteState>("stored");
        QTest::addColumn<PaletteState>("shown");
        QTest::newRow("premarcati, unticked") << PaletteState{true, false, CheckBoxState::Unticked}
                                              << PaletteState{true, false, CheckBoxState::Unticked};
        QTest::newRow("2 frame, greyed") << PaletteState{false, true, CheckBoxState::Greyed}
                                         << PaletteState{false, true, CheckBoxState::Greyed};
        QTest::newRow("neither model") << PaletteState{false, false, CheckBoxState::Ticked}
                                       << PaletteState{false, false, CheckBoxState::Ticked};
        QTest::newRow("both: the second wins") << PaletteState{true, true, CheckBoxState::Ticked}
                                               << PaletteState{false, true, CheckBoxState::Ticked};
    }
    void recalledStateSetsOptionsOneAfterTheOther()
    {
        QFETCH(PaletteState, stored);
        QFETCH(PaletteState, shown);
        AppHarness app;
        app.start();
        Form2& palette = app.palette();
        palette.setPaletteState(stored);
        QCOMPARE(palette.paletteState(), shown);
        // The options stay one group afterwards.
        QTest::mouseClick(palette.Option1[0], Qt::LeftButton);
        QVERIFY(palette.Option1[0]->isChecked());
        QVERIFY(!palette.Option1[1]->isChecked());
    }
};

QTEST_MAIN(PaletteTest)
#include "PaletteTest.moc"
