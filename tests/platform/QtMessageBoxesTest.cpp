// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The real message boxes, answered by clicking a button of the box once it is up.
class QtMessageBoxesTest : public QObject
{
    Q_OBJECT

    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        QString defaultButton;
    };

    // Waits for the modal box, records it and clicks the button captioned `answer`.
    static void answerWith(const QString& answer, Seen& seen)
    {
        QTimer::singleShot(0, [answer, &seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                answerWith(answer, seen);
                return;
            }
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            for (QAbstractButton* button : box->buttons())
                seen.buttons.append(button->text());
            seen.buttons.sort();
            if (box->defaultButton())
                seen.defaultButton = box->defaultButton()->text();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == answer)
                    button->click();
        });
    }

    // Waits for the modal box, records its default button and presses Return on it.
    static void pressReturn(QString& defaultButton)
    {
        QTimer::singleShot(0, [&defaultButton] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                pressReturn(defaultButton);
                return;
            }
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, Qt::Key_Return);
        });
    }

private Q_SLOTS:
    void questionIsInItalianWithYesAsDefault_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("result");
        QTest::newRow("yes") << QStringLiteral("Sì") << true;
        QTest::newRow("no") << QStringLiteral("No") << false;
    }
    void questionIsInItalianWithYesAsDefault()
    {
        QFETCH(QString, answer);
        QFETCH(bool, result);
        QtMessageBoxes boxes;
        Seen seen;
        answerWith(answer, seen);
        QCOMPARE(boxes.askYesNo(QStringLiteral("Vuoi salvare i dati Stampati ?")), result);
        QCOMPARE(seen.title, QStringLiteral("QtMessageBoxesTest")); // the executable's name
        QCOMPARE(seen.text, QStringLiteral("Vuoi salvare i dati Stampati ?"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, (QStringList{QStringLiteral("No"), QStringLiteral("Sì")}));
        QCOMPARE(seen.defaultButton, QStringLiteral("Sì"));
    }

    // The question before printing texts too long for the slip: Return, as a hurried user presses it,
    // answers No; Yes is still there to click.
    void questionWithNoAsDefault()
    {
        QtMessageBoxes boxes;
        QString defaultButton;
        pressReturn(defaultButton);
        QCOMPARE(boxes.askYesNoDefaultNo(QStringLiteral("Stampare comunque?")), false);
        QCOMPARE(defaultButton, QStringLiteral("No"));

        Seen seen;
        answerWith(QStringLiteral("Sì"), seen);
        QCOMPARE(boxes.askYesNoDefaultNo(QStringLiteral("Stampare comunque?")), true);
        QCOMPARE(seen.defaultButton, QStringLiteral("No"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
    }

    void confirmationsAndErrorsHaveTheirIcons()
    {
        QtMessageBoxes boxes;
        Seen information;
        answerWith(QStringLiteral("OK"), information);
        boxes.inform(QStringLiteral("Dati Salvati !!!"));
        QCOMPARE(information.icon, QMessageBox::Information);
        QCOMPARE(information.buttons, QStringList{QStringLiteral("OK")});

        Seen critical;
        answerWith(QStringLiteral("OK"), critical);
        boxes.critical(QStringLiteral("Formato IMPORTO non valido!!!"));
        QCOMPARE(critical.icon, QMessageBox::Critical);
        QCOMPARE(critical.text, QStringLiteral("Formato IMPORTO non valido!!!"));
        QCOMPARE(critical.buttons, QStringList{QStringLiteral("OK")});
    }
};

QTEST_MAIN(QtMessageBoxesTest)
#include "QtMessageBoxesTest.moc"
