// SPDX-License-Identifier: GPL-3.0-or-later

// A click on "salva" (answered yes) until the list shows the new entry, into an archive of a million
// records against the same save into an empty archive, in the same run.
#include "AppHarness.h"
#include "SampleSlip.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipRecord.h"

#include <QApplication>
#include <QFile>
#include <QLabel>

#include "ui/PictureButton.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Writes n records as the save writes them into the harness's archive, the payer numbered.
bool writeArchive(const QString& path, qsizetype n)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QByteArray chunk;
    QByteArray record;
    UnstorableCharacter problem;
    for (qsizetype r = 0; r < n; ++r) {
        SlipTexts fields = SampleSlip();
        fields[PayerName] = u"Cognome Nome "_s + QString::number(r);
        if (!encodeSavedRecord(savedDateText(QDate(2020, 1, 1).addDays(r / 8), italian), fields,
                               PaletteState{false, true, CheckBoxState::Ticked}, record, problem))
            return false;
        chunk += record;
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    // On the disk before the timing starts: else the first save's sync pays for writing the whole file.
    return file.write(chunk) == chunk.size() && file.flush() && ::fsync(file.handle()) == 0;
}

void saveInto(benchmark::State& state, qsizetype records)
{
    AppHarness app;
    if (!writeArchive(app.services.archivePath(), records)) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    app.start().setFields(SampleSlip());
    Form2& palette = app.palette();
    qsizetype expected = records;
    for (auto _ : state) {
        app.messages.answers = {true};
        QTest::mouseClick(palette.Image2[Form2::SaveButton], Qt::LeftButton);
        ++expected;
    }
    // Every save went to the file and into the list.
    if (palette.Label4->text() != u"Record: "_s + QString::number(expected) ||
        app.archive().RecordCount() != expected)
        state.SkipWithError(qPrintable(u"the list shows "_s + palette.Label4->text()));
    for (const ScriptedMessageBoxes::Shown& shown : app.messages.shown) {
        if (shown.kind == ScriptedMessageBoxes::Shown::Critical) {
            state.SkipWithError(qPrintable(shown.text));
            break;
        }
    }
}

void SaveIntoEmptyArchive(benchmark::State& state)
{
    saveInto(state, 0);
}

void SaveIntoArchive(benchmark::State& state)
{
    saveInto(state, state.range(0));
}

} // namespace

BENCHMARK(SaveIntoEmptyArchive)->Unit(benchmark::kMillisecond)->Iterations(40)->UseRealTime();
BENCHMARK(SaveIntoArchive)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(40)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::AddCustomContext("cedolario.section", "Saving a slip");
    benchmark::AddCustomContext(
        "cedolario.about",
        "A click on \"salva\", answered yes, until the record is synced to the disk and the list shows "
        "its entry (lock, journal, append, sync, list grown by one), into an archive of 1 000 000 "
        "records against the same save into an archive that starts empty. Each iteration saves one "
        "more slip.");
    benchmark::AddCustomContext("cedolario.reference.SaveIntoArchive", "SaveIntoEmptyArchive");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
