// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "ui/ArchiveList.h"
#include "ui/PictureButton.h"
#include "ui/apertura.h"

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QSet>

class AboutTest : public QObject
{
    Q_OBJECT

    static apertura* openAbout(AppHarness& app)
    {
        QTest::mouseClick(app.palette().Image2[Form2::InfoButton], Qt::LeftButton);
        apertura* about = app.session->aboutWindow();
        if (about && !QTest::qWaitForWindowExposed(about))
            return nullptr;
        return about;
    }

private Q_SLOTS:
    void infoReplacesThePairWithTheAboutWindow()
    {
        AppHarness app;
        Form1& form = app.start();
        apertura* about = openAbout(app);
        QVERIFY(about);
        QVERIFY(!form.isVisible());
        QVERIFY(!app.palette().isVisible());
        QCOMPARE(about->Label2->text(), QStringLiteral("versione 1.3"));
        // At least 3300 × 1635 twips and the border, then the shortcut lines below, inside the window.
        QVERIFY(about->width() >= 222);
        const auto* shortcuts = about->findChild<QLabel*>(QStringLiteral("shortcuts"));
        QVERIFY(shortcuts);
        QVERIFY(shortcuts->geometry().top() >= 111);
        QVERIFY(shortcuts->geometry().bottom() < about->height() - 1);
        const QString keys = shortcuts->text().simplified();
        for (const QString& listed :
             {QStringLiteral("Ctrl+Maiusc+P Anteprima di stampa"), QStringLiteral("Ctrl+P Stampa su\u2026"),
              QStringLiteral("Salva come PDF\u2026"), QStringLiteral("Ctrl+Alt+P stampa"),
              QStringLiteral("Ctrl+S salva"), QStringLiteral("Ctrl+O apri"), QStringLiteral("F1 info"),
              QStringLiteral("Canc elimina (nell'elenco)"), QStringLiteral("Ctrl+Q esci"),
              QStringLiteral("Tab passa dalla scheda alla tavolozza")})
            QVERIFY2(keys.contains(listed), qPrintable(keys));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("title"))->text(), QStringLiteral("Cedolario"));
        // The contact line tells where help is, whole.
        const auto* contact = about->findChild<QLabel*>(QStringLiteral("contact"));
        QCOMPARE(contact->text(), QStringLiteral("Aiuto: cedolario --help"));
        QVERIFY(contact->width() >= contact->sizeHint().width());
        QVERIFY(about->rect().contains(contact->geometry()));
        const QRect screen = about->screen()->geometry();
        QVERIFY(std::abs(about->geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(std::abs(about->geometry().center().y() - screen.center().y()) <= 1);
    }

    void clickOnTextLeavesItOpen_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("version") << "Label2";
        QTest::newRow("title") << "title";
        QTest::newRow("credit") << "credit";
        QTest::newRow("contact") << "contact";
        QTest::newRow("rights notice") << "rights";
    }
    void clickOnTextLeavesItOpen()
    {
        QFETCH(QString, line);
        AppHarness app;
        app.start();
        apertura* about = openAbout(app);
        QVERIFY(about);
        auto* label = about->findChild<QLabel*>(line);
        QVERIFY(label);
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(2, label->height() / 2));
        QVERIFY(app.session->aboutWindow());
        QVERIFY(about->isVisible());
        QVERIFY(!app.form->isVisible());
    }

    void clickOnPictureOrBackgroundBringsThePairBackAsItWas_data()
    {
        QTest::addColumn<bool>("onPicture");
        QTest::newRow("picture") << true;
        QTest::newRow("background") << false;
    }
    void clickOnPictureOrBackgroundBringsThePairBackAsItWas()
    {
        QFETCH(bool, onPicture);
        AppHarness app;
        Form1& form = app.start();
        Form2& palette = app.palette();
        form.setFieldText(PayerName, QStringLiteral("Rossi Mario"));
        form.setFieldText(Amount, QStringLiteral("12,50"));
        palette.showArchiveList(
            {*SlipRecord::fromColumns({QStringLiteral("07 dicembre 2026"), QStringLiteral("Rossi Mario")})},
            QLocale(QLocale::Italian));
        palette.List1->setCurrentRow(0);
        palette.setPaletteState({true, false, CheckBoxState::Unticked});
        const QRect slip = form.frameGeometry();
        const QPoint besideTheSlip(slip.left() + slip.width() + 20, slip.top() - 10);
        QTRY_COMPARE(palette.pos(), besideTheSlip);

        apertura* about = openAbout(app);
        QVERIFY(about);
        QPointer<apertura> watch(about);
        if (onPicture)
            QTest::mouseClick(about->Image1, Qt::LeftButton);
        else
            QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(about->width() - 4, about->height() - 4));
        QTRY_VERIFY(watch.isNull());
        QVERIFY(!app.session->aboutWindow());
        QVERIFY(form.isVisible());
        QVERIFY(palette.isVisible());
        QTRY_COMPARE(palette.pos(), besideTheSlip);
        QCOMPARE(form.fieldText(PayerName), QStringLiteral("Rossi Mario"));
        QCOMPARE(form.fieldText(Amount), QStringLiteral("12,50"));
        QCOMPARE(palette.List1->currentRow(), 0);
        QCOMPARE(palette.paletteState(), (PaletteState{true, false, CheckBoxState::Unticked}));

        // The next "info" builds a new window.
        apertura* again = openAbout(app);
        QVERIFY(again);
        QCOMPARE(again->Label2->text(), QStringLiteral("versione 1.3"));
    }

    void rightsLineSaysItIsFreeSoftware()
    {
        AppHarness app;
        app.start();
        apertura* about = openAbout(app);
        QVERIFY(about);
        const QString rights = about->findChild<QLabel*>(QStringLiteral("rights"))->text();
        for (const QString& said : {QStringLiteral("Software libero"), QStringLiteral("GNU GPL"),
                                    QStringLiteral("versione 3 o successiva")})
            QVERIFY2(rights.contains(said), qPrintable(rights));
        QVERIFY(!rights.contains(QStringLiteral("riservati")));
    }

    void oneSansFontForEveryText()
    {
        AppHarness app;
        app.start();
        apertura* about = openAbout(app);
        QVERIFY(about);
        QSet<QString> families;
        for (const QLabel* label : about->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                families.insert(QFontInfo(label->font()).family());
        }
        QCOMPARE(families.size(), 1);
        QFont serif(QStringLiteral("Times New Roman"));
        serif.setStyleHint(QFont::Serif);
        QVERIFY2(!families.contains(QFontInfo(serif).family()), qPrintable(*families.cbegin()));
    }

    // The keys a keyboard user closes it with, typed into its window as the desktop delivers them, and
    // keys that leave it open.
    void keysCloseItAsAClickDoes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
        QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << true;
        QTest::newRow("Space") << int(Qt::Key_Space) << true;
        QTest::newRow("a letter") << int(Qt::Key_A) << false;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << false;
    }
    void keysCloseItAsAClickDoes()
    {
        QFETCH(int, key);
        QFETCH(bool, closes);
        AppHarness app;
        Form1& form = app.start();
        form.setFieldText(PayerName, QStringLiteral("Rossi Mario"));
        apertura* about = openAbout(app);
        QVERIFY(about);
        QPointer<apertura> watch(about);
        QTRY_VERIFY(about->isActiveWindow());
        QTest::keyClick(about->windowHandle(), Qt::Key(key));
        if (closes) {
            QTRY_VERIFY(watch.isNull());
            QVERIFY(!app.session->aboutWindow());
            QVERIFY(form.isVisible());
            QVERIFY(app.palette().isVisible());
            QCOMPARE(form.fieldText(PayerName), QStringLiteral("Rossi Mario"));
        } else {
            QCoreApplication::processEvents();
            QVERIFY(!watch.isNull());
            QVERIFY(about->isVisible());
            QVERIFY(!form.isVisible());
        }
    }

    void closedByTheWindowManagerStillBringsThePairBack()
    {
        AppHarness app;
        Form1& form = app.start();
        apertura* about = openAbout(app);
        QVERIFY(about);
        about->close();
        QTRY_VERIFY(!app.session->aboutWindow());
        QVERIFY(form.isVisible());
        QVERIFY(app.palette().isVisible());
    }
};

QTEST_MAIN(AboutTest)
#include "AboutTest.moc"
