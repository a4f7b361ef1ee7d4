// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace {

// Room a window manager's title bar takes besides the title: the window icon, three buttons and the
// padding between them (openbox's default theme needs about 110 pixels).
constexpr int TitleBarRoom = 140;

// A short message gives a narrow box, and the window manager then cuts its title ("ced…rio"): the box is
// made at least as wide as the title, in a bold font a little larger than the box's own, plus that room.
// QMessageBox sizes itself from its layout, so the width goes in as a spacer across the whole layout.
void widenForTitle(QMessageBox& box)
{
    QFont titleFont = box.font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + TitleBarRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(),
                      0, 1, grid->columnCount());
}

} // namespace

QString QtMessageBoxes::title()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

namespace {

bool ask(const QString& text, QMessageBox::StandardButton byDefault)
{
    QMessageBox box(QMessageBox::NoIcon, QtMessageBoxes::title(), text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sì"));
    box.button(QMessageBox::No)->setText(QStringLiteral("No"));
    box.setDefaultButton(byDefault);
    box.setEscapeButton(QMessageBox::No);
    widenForTitle(box);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

bool QtMessageBoxes::askYesNo(const QString& text)
{
    return ask(text, QMessageBox::Yes);
}

bool QtMessageBoxes::askYesNoDefaultNo(const QString& text)
{
    return ask(text, QMessageBox::No);
}

void QtMessageBoxes::inform(const QString& text)
{
    QMessageBox box(QMessageBox::Information, title(), text, QMessageBox::Ok, QApplication::activeWindow());
    widenForTitle(box);
    box.exec();
}

void QtMessageBoxes::critical(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title(), text, QMessageBox::Ok, QApplication::activeWindow());
    widenForTitle(box);
    box.exec();
}
