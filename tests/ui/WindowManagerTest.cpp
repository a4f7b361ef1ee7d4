// SPDX-License-Identifier: GPL-3.0-or-later

// The pair of windows under a real window manager (openbox on Xvfb, started by with-openbox.sh), driven
// through the X server with xdotool: real clicks, real key presses, real activation and iconification
// by the window manager. Skipped anywhere else.
#include "AppHarness.h"
#include "platform/QtMessageBoxes.h"
#include "ui/PictureButton.h"
#include "ui/apertura.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolTip>

namespace {

// Runs an X tool to its end and gives its output.
QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
        qWarning("%s did not finish", qPrintable(program));
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString windowId(const QWidget* window)
{
    return QString::number(window->winId());
}

// A real click of the left button at a point of a widget.
void clickAt(const QWidget* widget, const QPoint& local)
{
    const QPoint global = widget->mapToGlobal(local);
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
             QStringLiteral("click"), QStringLiteral("1")});
}

void click(const QWidget* widget)
{
    clickAt(widget, widget->rect().center());
}

void hover(const QWidget* widget)
{
    const QPoint global = widget->mapToGlobal(widget->rect().center());
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
}

void typeKeys(const QString& text)
{
    if (!text.isEmpty())
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

// The ICCCM state the window manager gives the window: "Normal", "Iconic" or "Withdrawn".
QString wmState(const QWidget* window)
{
    const QString out = runTool(QStringLiteral("xprop"),
                                {QStringLiteral("-id"), windowId(window), QStringLiteral("WM_STATE")});
    const qsizetype at = out.indexOf(QStringLiteral("window state: "));
    return at < 0 ? QStringLiteral("Withdrawn") : out.mid(at + 14).section(u'\n', 0, 0).trimmed();
}

// Real message boxes whose texts are noted; every box that comes up is answered with a real click
// on its default button, as a user would.
class AnsweredMessageBoxes : public MessageBoxes
{
public:
    AnsweredMessageBoxes()
    {
        m_watch.setInterval(20);
        QObject::connect(&m_watch, &QTimer::timeout, &m_watch, [this] { answerOpenBox(); });
        m_watch.start();
    }

    bool askYesNo(const QString& text) override
    {
        texts << text;
        return m_real.askYesNo(text);
    }
    void inform(const QString& text) override
    {
        texts << text;
        m_real.inform(text);
    }
    void critical(const QString& text) override
    {
        texts << text;
        m_real.critical(text);
    }

    QStringList texts;
    QRect lastBoxFrame;

private:
    // Once the window manager has framed and activated the box (or after a hundred looks); again if
    // a click went astray while the box was still being placed.
    void answerOpenBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->windowHandle() || !box->windowHandle()->isExposed())
            return;
        // The window's frame geometry reads the frame extents the window manager has set.
        const QRect frame = box->windowHandle()->frameGeometry();
        const bool framed = frame != box->windowHandle()->geometry();
        if (framed)
            lastBoxFrame = frame;
        if (box != m_answered) {
            if (box != m_waitingFor) {
                m_waitingFor = box;
                m_ticksWaiting = 0;
            }
            if (!(framed && box->isActiveWindow()) && ++m_ticksWaiting < 100)
                return;
        } else if (++m_ticksSinceAnswer < 25) {
            return;
        }
        m_answered = box;
        m_ticksSinceAnswer = 0;
        QAbstractButton* button = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        click(button);
    }

    QtMessageBoxes m_real;
    QTimer m_watch;
    QPointer<QMessageBox> m_answered;
    QPointer<QMessageBox> m_waitingFor;
    int m_ticksSinceAnswer = 0;
    int m_ticksWaiting = 0;
};

// Where the palette belongs: 300 twips right of the slip form's outer frame, 150 twips above it.
QPoint besideTheSlip(const Form1& form)
{
    const QRect frame = form.frameGeometry();
    return QPoint(frame.right() + 1 + 20, frame.top() - 10);
}

} // namespace

class WindowManagerTest : public QObject
{
    Q_OBJECT

    struct Run {
        AnsweredMessageBoxes boxes;
        AppHarness app{Replacements{&boxes, nullptr}};
        apertura* about() const { return app.session->aboutWindow(); }
    };

    // Started as main() does, framed by the window manager, the slip form active.
    static bool start(Run& run)
    {
        Form1& form = run.app.start();
        return QTest::qWaitForWindowActive(&form) && QTest::qWaitForWindowExposed(&run.app.palette()) &&
               QTest::qWaitFor([&form] { return form.frameGeometry() != form.geometry(); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb" || qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display with a window manager: run through with-openbox.sh");
        if (!runTool(QStringLiteral("xprop"),
                     {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                 .contains(QStringLiteral("window id")))
            QSKIP("no window manager on this display");
    }

    void paletteBesideTheOuterFrame()
    {
        Run run;
        QVERIFY(start(run));
        Form1& form = *run.app.form;
        Form2& palette = run.app.palette();
        // The window manager's frame is counted: its side border widens the slip form's outer frame.
        QVERIFY(form.frameGeometry().width() > form.width());
        QTRY_COMPARE(palette.frameGeometry().topLeft(), besideTheSlip(form));

        click(palette.Image2[Form2::InfoButton]);
        QTRY_VERIFY(run.about() && run.about()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(run.about()));
        click(run.about()->Image1);
        QTRY_VERIFY(!run.about());
        QTRY_COMPARE(wmState(&form), QStringLiteral("Normal"));
        QTRY_VERIFY(form.frameGeometry() != form.geometry());
        QTRY_COMPARE(palette.frameGeometry().topLeft(), besideTheSlip(form));
    }

    void minimiseRestoreInfoBackInAnyOrder_data()
    {
        QTest::addColumn<QStringList>("steps");
        const auto steps = [](const char* text) { return QString::fromLatin1(text).split(u' '); };
        QTest::newRow("minimise, restore, info, back") << steps("minimise restore info back");
        QTest::newRow("info, back, minimise, restore, info, back")
            << steps("info back minimise restore info back");
        QTest::newRow("twice minimised, then info")
            << steps("minimise restore minimise restore info back info back");
    }
    void minimiseRestoreInfoBackInAnyOrder()
    {
        QFETCH(QStringList, steps);
        Run run;
        QVERIFY(start(run));
        Form1& form = *run.app.form;
        Form2& palette = run.app.palette();

        for (const QString& step : steps) {
            if (step == u"minimise") {
                click(palette.Image2[Form2::MinimiseButton]);
                QTRY_COMPARE(wmState(&form), QStringLiteral("Iconic"));
                QTRY_VERIFY(!palette.isVisible());
                continue;
            }
            if (step == u"info") {
                click(palette.Image2[Form2::InfoButton]);
                QTRY_VERIFY(run.about() && run.about()->isVisible());
                QVERIFY(QTest::qWaitForWindowExposed(run.about()));
                QVERIFY(!form.isVisible());
                QVERIFY(!palette.isVisible());
                continue;
            }
            if (step == u"restore") // as from the task bar: the window manager is asked to activate it
                runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), windowId(&form)});
            else if (step == u"back")
                click(run.about()->Image1);
            // Both windows are back, shown normally, the palette in its place.
            QTRY_COMPARE(wmState(&form), QStringLiteral("Normal"));
            QTRY_VERIFY2(form.isVisible() && !form.isMinimized(), qPrintable(step));
            QTRY_COMPARE(wmState(&palette), QStringLiteral("Normal"));
            QTRY_VERIFY(palette.isVisible());
            QTRY_VERIFY(QTest::qWaitForWindowExposed(&form));
            QTRY_COMPARE(palette.frameGeometry().topLeft(), besideTheSlip(form));
        }
    }

    void toolTipsWhicheverWindowIsActive()
    {
        Run run;
        QVERIFY(start(run));
        Form1& form = *run.app.form;
        Form2& palette = run.app.palette();
        QVERIFY(form.isActiveWindow());
        hover(palette.Image2[Form2::RecallButton]);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Carica c/c"));
        QVERIFY(form.isActiveWindow());
        hover(palette.Option1[0]);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("Conto Corrente Premarcato"));
    }

    // A palette command while the amount field holds a refused amount: the error comes once, the
    // field is emptied, and the next click on the palette does what it says.
    void paletteCommandAfterRefusedAmount_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("button");
        QTest::newRow("whole number, then info") << "1234" << int(Form2::InfoButton);
        QTest::newRow("empty, then info") << "" << int(Form2::InfoButton);
        QTest::newRow("whole number, then exit") << "1234" << int(Form2::ExitButton);
    }
    void paletteCommandAfterRefusedAmount()
    {
        QFETCH(QString, typed);
        QFETCH(int, button);
        Run run;
        QVERIFY(start(run));
        Form1& form = *run.app.form;
        Form2& palette = run.app.palette();
        click(form.Text1[Amount]);
        QTRY_VERIFY(form.Text1[Amount]->hasFocus());
        typeKeys(typed);
        QTRY_COMPARE(form.fieldText(Amount), typed);

        click(palette.Image2[static_cast<std::size_t>(button)]);
        QTRY_COMPARE(run.boxes.texts, QStringList{QStringLiteral("Formato IMPORTO non valido!!!")});
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(form.fieldText(Amount), QString());
        QCOMPARE(form.fieldText(AmountWords), QString());

        click(palette.Image2[static_cast<std::size_t>(button)]);
        if (button == Form2::InfoButton)
            QTRY_VERIFY(run.about() && run.about()->isVisible());
        else
            QTRY_COMPARE(run.app.exits, 1);
        QCOMPARE(run.boxes.texts.size(), 1);
    }

    void savedBoxShowsItsWholeTitle()
    {
        Run run;
        QVERIFY(start(run));
        Form1& form = *run.app.form;
        form.setFieldText(PayerName, QStringLiteral("Rossi Mario"));
        click(run.app.palette().Image2[Form2::SaveButton]);
        QTRY_COMPARE(run.boxes.texts.size(), 2);
        QCOMPARE(run.boxes.texts.at(1), QStringLiteral("Dati Salvati !!!"));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        // openbox's title bar holds the window icon, "cedolario" and three buttons: at least 200
        // pixels, measured on its default theme.
        QVERIFY2(run.boxes.lastBoxFrame.width() >= 200,
                 qPrintable(QString::number(run.boxes.lastBoxFrame.width())));
    }
};

QTEST_MAIN(WindowManagerTest)
#include "WindowManagerTest.moc"
