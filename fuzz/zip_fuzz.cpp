// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the zip reader of workbooks: any bytes open or are refused with a reason, every entry reads
// or fails within the budget (a small file never unpacks to more than it allows), and what reads
// whole writes back with our writer and reads again to the same names and bytes.
#include "core/workbook/WorkbookReader.h"
#include "core/workbook/ZipPackage.h"

#include <QList>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

// Small beside the 512 MB of a workbook, so that the fuzzer meets the limit with inputs of a few KB.
constexpr qint64 Budget = qint64(4) << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)workbookKindOf(bytes);

    ZipReader reader(Budget);
    if (const Failure refused = reader.open(bytes)) {
        require(!refused.text().isEmpty(), "refused without a reason");
        require(reader.names().isEmpty(), "a refused archive left entries behind");
        return 0;
    }
    const QStringList names = reader.names();
    for (const QString& name : names)
        require(!name.isEmpty() && reader.contains(name), "an entry without a name, or not found");
    require(names.size() == qsizetype(QSet<QString>(names.begin(), names.end()).size()), "a name twice");

    QList<ZipEntry> whole;
    qint64 spent = 0;
    for (const QString& name : names) {
        const qint64 before = reader.budgetLeft();
        QByteArray out;
        const bool overBudget = reader.unpackedSize(name) > before;
        const Failure failure = reader.read(name, out);
        const qint64 after = reader.budgetLeft();
        require(after >= 0 && after <= before, "the budget grew or went below zero");
        if (!failure) {
            require(!overBudget, "read past the budget");
            require(before - after == out.size(), "what was spent is not what was read");
            spent += out.size();
            // Every other entry stored, so that the writer's deflate is read back too.
            whole.append({name, out, whole.size() % 2 == 0});
            continue;
        }
        require(out.isEmpty() && !failure.text().isEmpty(),
                "a failed read without its reason, or with bytes");
        require(failure.text() != u"manca"_s, "a listed entry is missing");
        // Only a checksum found wrong once unpacked has spent the entry's size.
        require(before == after || before - after == reader.unpackedSize(name),
                "a failed read spent another amount");
        require(!overBudget || before == after, "over the budget, yet something was spent");
    }
    require(spent <= Budget, "more unpacked than the budget allows");
    QByteArray out;
    require(bool(reader.read(u"\u0001 non c'è"_s, out)), "an entry that is not there was found");

    // What read whole writes back, and our reader reads the same from it.
    QByteArray again;
    require(!writeZip(whole, again), "the writer refused entries the reader gave");
    ZipReader second(Budget);
    require(!second.open(again), "the writer's archive does not open");
    QStringList written;
    for (const ZipEntry& entry : std::as_const(whole)) {
        written.append(entry.name);
        QByteArray copy;
        require(!second.read(entry.name, copy) && copy == entry.bytes,
                "an entry written back does not read the same");
    }
    require(second.names() == written, "the names written back differ");
    require(second.budgetLeft() == Budget - spent, "reading back spent another amount");
    return 0;
}
