// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/PrintDialogs.h"

#include "core/print/SlipLayout.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

struct Seen {
    int pages = -1;
    QStringList visibleActions;
    bool red = false;
};

bool hasRed(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 90 && c.blue() < 90)
                return true;
        }
    }
    return false;
}

// Once the preview is up and has drawn its page: records what it shows, then presses its print
// button or closes it.
void answerPreview(bool pressPrint, Seen& seen)
{
    QTimer::singleShot(10, [pressPrint, &seen] {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        auto* widget = dialog ? dialog->findChild<QPrintPreviewWidget*>() : nullptr;
        if (!widget || widget->pageCount() < 1) {
            answerPreview(pressPrint, seen);
            return;
        }
        seen.pages = widget->pageCount();
        QToolBar* toolBar = dialog->findChild<QToolBar*>();
        for (QAction* action : toolBar->actions()) {
            if (action->isVisible() && !action->text().isEmpty())
                seen.visibleActions.append(action->text());
        }
        widget->fitInView();
        seen.red = hasRed(widget->grab().toImage());
        if (pressPrint)
            toolBar->actions().constLast()->trigger();
        else
            dialog->reject();
    });
}

} // namespace

// Qt's preview, fed by the page composer: one page, the overflow marks on it, its print button
// handed back to the caller, and no page set-up or orientation to change.
class QtPrintDialogsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void preview_data()
    {
        QTest::addColumn<bool>("pressPrint");
        QTest::addColumn<QString>("payer");
        QTest::addColumn<bool>("marked");
        QTest::newRow("closed, nothing overflows") << false << u"Mario Rossi"_s << false;
        QTest::newRow("print pressed, the payer overflows") << true << QString(40, u'M') << true;
    }

    void preview()
    {
        QFETCH(bool, pressPrint);
        QFETCH(QString, payer);
        QFETCH(bool, marked);

        SlipTexts fields;
        fields[PayerName] = payer;
        const std::vector<Overflow> overflows = OverflowFinder().find(SlipModel::Premarcati, fields, true);
        QCOMPARE(overflows.empty(), !marked);
        int composed = 0;
        const QImage euro(u":/euro.png"_s);
        const PageComposer page = [&](PrintSurface& surface) {
            ++composed;
            DrawSlipModel(surface, SlipModel::Premarcati, fields, true, euro);
        };

        Seen seen;
        answerPreview(pressPrint, seen);
        QtPrintDialogs dialogs;
        QCOMPARE(dialogs.preview(page, overflows), pressPrint);
        QCOMPARE(seen.pages, 1);
        QVERIFY(composed >= 1);
        QCOMPARE(seen.red, marked);
        QVERIFY(seen.visibleActions.contains(u"Print"_s) || seen.visibleActions.contains(u"Stampa"_s));
        for (const QString& hidden : {u"Page setup"_s, u"Portrait"_s, u"Landscape"_s})
            QVERIFY2(!seen.visibleActions.contains(hidden), qPrintable(seen.visibleActions.join(u", "_s)));
    }
};

QTEST_MAIN(QtPrintDialogsTest)
#include "QtPrintDialogsTest.moc"
