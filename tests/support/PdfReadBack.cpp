// SPDX-License-Identifier: GPL-3.0-or-later

#include "PdfReadBack.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

constexpr double CmPerPoint = 2.54 / 72;

} // namespace

QByteArray RunPdfTool(const QString& program, const QStringList& arguments, QString& error)
{
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        error = program + u" not found: install poppler-utils"_s;
        return {};
    }
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        error = program + u": "_s + QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    return process.readAllStandardOutput();
}

QList<PdfWord> PdfWords(const QString& pdf, QString& error)
{
    const QString html = QString::fromUtf8(RunPdfTool(u"pdftotext"_s, {u"-bbox"_s, pdf, u"-"_s}, error));
    static const QRegularExpression item(
        uR"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"_s);
    QList<PdfWord> found;
    int page = -1;
    for (const QRegularExpressionMatch& match : item.globalMatch(html)) {
        if (match.captured(0).startsWith(u"<page"_s)) {
            ++page;
            continue;
        }
        QString text = match.captured(5);
        text.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&apos;"_s, u"'"_s);
        text.replace(u"&quot;"_s, u"\""_s).replace(u"&amp;"_s, u"&"_s);
        found.append({text, qMax(page, 0), match.captured(1).toDouble() * CmPerPoint,
                      match.captured(2).toDouble() * CmPerPoint, match.captured(3).toDouble() * CmPerPoint,
                      match.captured(4).toDouble() * CmPerPoint});
    }
    return found;
}

int PdfPageCount(const QString& pdf)
{
    QString error;
    const QString info = QString::fromUtf8(RunPdfTool(u"pdfinfo"_s, {pdf}, error));
    static const QRegularExpression pages(u"^Pages:\\s+(\\d+)$"_s, QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pages.match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

const PdfWord* FindPdfWord(const QList<PdfWord>& words, const QString& text, double x, double y,
                           double tolerance, QStringList* seen)
{
    for (const PdfWord& word : words) {
        if (word.text != text)
            continue;
        if (qAbs(word.left - x) <= tolerance && qAbs(word.top - y) <= tolerance)
            return &word;
        if (seen)
            seen->append(u"(%1, %2)"_s.arg(word.left, 0, 'f', 3).arg(word.top, 0, 'f', 3));
    }
    return nullptr;
}
