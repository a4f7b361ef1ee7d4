// SPDX-License-Identifier: GPL-3.0-or-later

#include "PdfReadBack.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr double CmPerPoint = 2.54 / 72;

} // namespace

#ifdef Q_OS_WIN
// Under Wine poppler's tools are Linux programs: Wine starts them but hands back no process to wait
// for. So the tool runs through the shell, which writes its output and then, under a name that
// appears only once the output is whole, its exit status; the test polls for that with a deadline.
// Windows paths are given to the tool as Wine maps them onto the Linux file system.
namespace {

QString unixPath(const QString& windowsPath)
{
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return {};
    const QString native = QDir::toNativeSeparators(QFileInfo(windowsPath).absoluteFilePath());
    char* path = toUnix(reinterpret_cast<const wchar_t*>(native.utf16()));
    if (!path)
        return {};
    const QString result = QString::fromUtf8(path);
    HeapFree(GetProcessHeap(), 0, path);
    return result;
}

QString shellQuoted(const QString& text)
{
    return u"'"_s + QString(text).replace(u"'"_s, u"'\\''"_s) + u"'"_s;
}

} // namespace

QByteArray RunPdfTool(const QString& program, const QStringList& arguments, QString& error)
{
    QTemporaryDir dir;
    const QString unixDir = unixPath(dir.path());
    if (!dir.isValid() || unixDir.isEmpty()) {
        error = u"not under Wine: no Linux program to run"_s;
        return {};
    }
    QString command = u"cd "_s + shellQuoted(unixDir) + u" && "_s + program;
    for (const QString& argument : arguments) {
        const bool isFile = QFileInfo::exists(argument);
        command += u' ' + shellQuoted(isFile ? unixPath(argument) : argument);
    }
    command += u" >out 2>err; echo $? >status.part; mv status.part status"_s;
    if (!QProcess::startDetached(u"Z:\\bin\\sh"_s, {u"-c"_s, command})) {
        error = program + u": the shell could not be started under Wine"_s;
        return {};
    }
    const QDeadlineTimer deadline(60000);
    QFile status(dir.filePath(u"status"_s));
    while (!status.exists()) {
        if (deadline.hasExpired()) {
            error = program + u": no answer within a minute"_s;
            return {};
        }
        QThread::msleep(20);
    }
    QFile out(dir.filePath(u"out"_s));
    QFile err(dir.filePath(u"err"_s));
    if (!status.open(QIODevice::ReadOnly) || status.readAll().trimmed() != "0" ||
        !out.open(QIODevice::ReadOnly)) {
        err.open(QIODevice::ReadOnly);
        error = program + u": "_s + QString::fromLocal8Bit(err.readAll());
        return {};
    }
    return out.readAll();
}
#else
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
#endif

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
