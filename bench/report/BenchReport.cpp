// SPDX-License-Identifier: GPL-3.0-or-later

#include "BenchReport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace BenchReport {

namespace {

const QString SectionKey = QStringLiteral("cedolario.section");
const QString AboutKey = QStringLiteral("cedolario.about");
const QString ReferencePrefix = QStringLiteral("cedolario.reference.");

// Name parts that Google Benchmark adds for run options rather than arguments.
bool isRunOption(const QString& part)
{
    return part.contains(QLatin1Char(':')) || part == u"real_time" || part == u"manual_time" ||
           part == u"process_time";
}

double toNanoseconds(double value, const QString& unit)
{
    if (unit == u"us")
        return value * 1e3;
    if (unit == u"ms")
        return value * 1e6;
    if (unit == u"s")
        return value * 1e9;
    return value;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// 10 to an integer power, exact for the powers a double holds exactly (some C libraries' pow is not).
double powerOfTen(int exponent)
{
    double power = 1;
    for (int i = 0; i < std::abs(exponent); ++i)
        power *= 10;
    return exponent < 0 ? 1 / power : power;
}

// The decimal exponent of value: 6 for 1e6 and for 3.5e6. log10 alone may fall one ulp short of an
// exact power of ten.
int decimalExponent(double value)
{
    const double magnitude = std::fabs(value);
    int exponent = int(std::floor(std::log10(magnitude)));
    if (magnitude >= powerOfTen(exponent + 1))
        ++exponent;
    else if (magnitude < powerOfTen(exponent))
        --exponent;
    return exponent;
}

double roundToSignificant(double value)
{
    if (value == 0 || !std::isfinite(value))
        return value;
    // Three significant digits.
    const int shift = 2 - decimalExponent(value);
    if (shift >= 0)
        return std::round(value * powerOfTen(shift)) / powerOfTen(shift);
    return std::round(value / powerOfTen(-shift)) * powerOfTen(-shift);
}

QString cell(const QString& text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('|'), QLatin1String("\\|"));
}

QString figureName(const BenchFigure& figure)
{
    return QLatin1Char('`') +
           (figure.arguments.isEmpty() ? figure.family
                                       : figure.family + QLatin1Char('/') + figure.arguments) +
           QLatin1Char('`');
}

QString formatRate(const BenchFigure& figure)
{
    if (figure.bytesPerSecond > 0)
        return formatSignificant(figure.bytesPerSecond / (1024.0 * 1024.0)) + QStringLiteral(" MiB/s");
    if (figure.itemsPerSecond >= 1e6)
        return formatSignificant(figure.itemsPerSecond / 1e6) + QStringLiteral(" M/s");
    if (figure.itemsPerSecond > 0)
        return formatSignificant(figure.itemsPerSecond) + QStringLiteral(" /s");
    return QString();
}

struct Collected {
    QString family;
    QString arguments;
    QList<double> times;
    std::optional<double> medianTime;
    double bytesPerSecond = 0;
    double itemsPerSecond = 0;
    QString error;
};

} // namespace

bool parseSection(const QByteArray& json, BenchSection& section, QString& errorText)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull() || !document.isObject()) {
        errorText = QStringLiteral("not JSON: %1").arg(parseError.errorString());
        return false;
    }
    const QJsonObject root = document.object();
    if (!root.value(u"context").isObject() || !root.value(u"benchmarks").isArray()) {
        errorText = QStringLiteral("no \"context\" and \"benchmarks\": not Google Benchmark output");
        return false;
    }

    BenchSection parsed;
    const QJsonObject context = root.value(u"context").toObject();
    parsed.executable = QFileInfo(context.value(u"executable").toString()).fileName();
    parsed.title = context.value(SectionKey).toString(parsed.executable);
    parsed.about = context.value(AboutKey).toString();
    for (auto it = context.begin(); it != context.end(); ++it) {
        if (it.key().startsWith(ReferencePrefix))
            parsed.references.insert(it.key().mid(ReferencePrefix.size()), it.value().toString());
    }

    QList<QString> order;
    QHash<QString, Collected> runs;
    const QJsonArray benchmarks = root.value(u"benchmarks").toArray();
    for (const QJsonValue& value : benchmarks) {
        const QJsonObject run = value.toObject();
        const QString runName = run.value(u"run_name").toString(run.value(u"name").toString());
        if (!runs.contains(runName)) {
            order.append(runName);
            QStringList parts = runName.split(QLatin1Char('/'));
            Collected collected;
            collected.family = parts.takeFirst();
            parts.removeIf(isRunOption);
            collected.arguments = parts.join(QLatin1Char('/'));
            runs.insert(runName, collected);
        }
        Collected& collected = runs[runName];
        const double time =
            toNanoseconds(run.value(u"real_time").toDouble(), run.value(u"time_unit").toString());
        if (run.value(u"error_occurred").toBool()) {
            collected.error = run.value(u"error_message").toString();
        } else if (run.value(u"run_type").toString() == u"aggregate") {
            if (run.value(u"aggregate_name").toString() == u"median")
                collected.medianTime = time;
        } else {
            collected.times.append(time);
            collected.bytesPerSecond = run.value(u"bytes_per_second").toDouble();
            collected.itemsPerSecond = run.value(u"items_per_second").toDouble();
        }
    }

    for (const QString& runName : std::as_const(order)) {
        const Collected& collected = runs[runName];
        BenchFigure figure;
        figure.family = collected.family;
        figure.arguments = collected.arguments;
        figure.error = collected.error;
        figure.bytesPerSecond = collected.bytesPerSecond;
        figure.itemsPerSecond = collected.itemsPerSecond;
        if (collected.medianTime)
            figure.nanoseconds = *collected.medianTime;
        else if (!collected.times.isEmpty())
            figure.nanoseconds = median(collected.times);
        else if (figure.error.isEmpty())
            figure.error = QStringLiteral("no time reported");
        parsed.figures.append(figure);
    }
    section = std::move(parsed);
    return true;
}

const BenchFigure* referenceOf(const BenchSection& section, const BenchFigure& figure)
{
    const auto found = section.references.constFind(figure.family);
    if (found == section.references.cend())
        return nullptr;
    const BenchFigure* only = nullptr;
    int count = 0;
    for (const BenchFigure& candidate : section.figures) {
        if (candidate.family != *found)
            continue;
        if (candidate.arguments == figure.arguments)
            return &candidate;
        only = &candidate;
        ++count;
    }
    return count == 1 ? only : nullptr;
}

QString formatSignificant(double value)
{
    // Never fewer digits than the integer part has.
    const double rounded = std::fabs(value) >= 1000 ? std::round(value) : roundToSignificant(value);
    if (rounded == 0 || !std::isfinite(rounded))
        return QString::number(rounded);
    const int integerDigits = decimalExponent(rounded) + 1;
    return QString::number(rounded, 'f', std::max(0, 3 - integerDigits));
}

QString formatDuration(double nanoseconds)
{
    // The unit follows the rounded value, so 999.6 ns reads 1.00 µs rather than 1000 ns.
    const double rounded = roundToSignificant(nanoseconds);
    if (rounded < 1e3)
        return formatSignificant(nanoseconds) + QStringLiteral(" ns");
    if (rounded < 1e6)
        return formatSignificant(nanoseconds / 1e3) + QStringLiteral(" µs");
    if (rounded < 1e9)
        return formatSignificant(nanoseconds / 1e6) + QStringLiteral(" ms");
    return formatSignificant(nanoseconds / 1e9) + QStringLiteral(" s");
}

QString renderSection(const BenchSection& section)
{
    QStringList referenceFamilies = section.references.values();
    const bool withRate =
        std::any_of(section.figures.cbegin(), section.figures.cend(),
                    [](const BenchFigure& f) { return f.bytesPerSecond > 0 || f.itemsPerSecond > 0; });

    QString text = QStringLiteral("### ") + section.title + QStringLiteral("\n\n");
    if (!section.about.isEmpty())
        text += section.about + QStringLiteral("\n\n");
    text += QStringLiteral("| Benchmark | Time | Reference | Reference time | Ratio |");
    text += withRate ? QStringLiteral(" Throughput |\n") : QStringLiteral("\n");
    text += QStringLiteral("|---|--:|---|--:|--:|");
    text += withRate ? QStringLiteral("--:|\n") : QStringLiteral("\n");

    for (const BenchFigure& figure : section.figures) {
        // A reference appears beside what it is the reference of, unless it has a reference itself.
        if (referenceFamilies.contains(figure.family) && !section.references.contains(figure.family))
            continue;
        const BenchFigure* reference = referenceOf(section, figure);
        QStringList cells;
        cells << figureName(figure);
        cells << (figure.error.isEmpty() ? formatDuration(figure.nanoseconds)
                                         : QStringLiteral("failed: ") + cell(figure.error));
        if (reference) {
            cells << figureName(*reference);
            cells << (reference->error.isEmpty() ? formatDuration(reference->nanoseconds)
                                                 : QStringLiteral("failed: ") + cell(reference->error));
            const bool comparable =
                figure.error.isEmpty() && reference->error.isEmpty() && reference->nanoseconds > 0;
            cells << (comparable ? formatSignificant(figure.nanoseconds / reference->nanoseconds) +
                                       QStringLiteral(" ×")
                                 : QStringLiteral("—"));
        } else {
            cells << QStringLiteral("—") << QStringLiteral("—") << QStringLiteral("—");
        }
        if (withRate)
            cells << (figure.error.isEmpty() ? formatRate(figure) : QString());
        text += QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
    }
    return text;
}

QString renderFigures(const MachineInfo& machine, const QList<BenchSection>& sections)
{
    QString text = FiguresHeading + QStringLiteral("\n\n");
    text += QStringLiteral(
        "Written by `./scripts/bench`; do not edit this section by hand. Each time is the median real\n"
        "time per iteration over the repetitions of one run, and each ratio compares it with its\n"
        "reference, measured in the same run on the same machine.\n\n");
    text += QStringLiteral("| Machine | |\n|---|---|\n");
    text += QStringLiteral("| CPU | %1 |\n").arg(cell(machine.cpu));
    text += QStringLiteral("| Cores | %1 |\n").arg(machine.cores);
    text += QStringLiteral("| Memory | %1 GiB |\n")
                .arg(formatSignificant(double(machine.memoryBytes) / (1024.0 * 1024.0 * 1024.0)));
    text += QStringLiteral("| OS | %1 |\n").arg(cell(machine.os));
    text += QStringLiteral("| Compiler | %1 |\n").arg(cell(machine.compiler));
    text += QStringLiteral("| Qt | %1 |\n").arg(cell(machine.qt));
    text += QStringLiteral("| Build | %1 |\n").arg(cell(machine.buildType));
    text += QStringLiteral("| Date | %1 |\n").arg(cell(machine.date));
    for (const BenchSection& section : sections)
        text += QLatin1Char('\n') + renderSection(section);
    return text;
}

QString spliceSection(const QString& document, const QString& heading, const QString& section)
{
    QStringList lines = document.split(QLatin1Char('\n'));
    const qsizetype start = lines.indexOf(heading);
    if (start < 0) {
        QString before = document;
        while (before.endsWith(QLatin1Char('\n')))
            before.chop(1);
        return before.isEmpty() ? section : before + QStringLiteral("\n\n") + section;
    }
    qsizetype end = start + 1;
    while (end < lines.size() && !lines[end].startsWith(QLatin1String("## ")) &&
           !lines[end].startsWith(QLatin1String("# ")))
        ++end;
    QString replacement = section;
    if (end < lines.size() && !replacement.endsWith(QLatin1String("\n\n")))
        replacement += QLatin1Char('\n');
    QStringList result = lines.mid(0, start);
    result.append(replacement + lines.mid(end).join(QLatin1Char('\n')));
    return result.join(QLatin1Char('\n'));
}

QString cpuModel(const QString& cpuinfo)
{
    const QStringList lines = cpuinfo.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0 && line.left(colon).trimmed() == u"model name")
            return line.mid(colon + 1).trimmed();
    }
    return QString();
}

qint64 totalMemory(const QString& meminfo)
{
    const QStringList lines = meminfo.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1String("MemTotal:")))
            continue;
        const QStringList parts = line.mid(9).simplified().split(QLatin1Char(' '));
        bool ok = false;
        const qint64 amount = parts.value(0).toLongLong(&ok);
        if (!ok)
            return 0;
        return parts.value(1) == u"kB" ? amount * 1024 : amount;
    }
    return 0;
}

} // namespace BenchReport
