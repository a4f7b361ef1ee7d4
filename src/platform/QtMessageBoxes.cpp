#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

QString QtMessageBoxes::title()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

bool QtMessageBoxes::askYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title(), text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sì"));
    box.button(QMessageBox::No)->setText(QStringLiteral("No"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBoxes::inform(const QString& text)
{
    QMessageBox box(QMessageBox::Information, title(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void QtMessageBoxes::critical(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}
