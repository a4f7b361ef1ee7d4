// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the archive reader: any bytes must read without a crash, and what is read must write back
// and read again to the same records.
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipRecord.h"
#include "core/archive/Windows1252.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The records as a rewrite of the file writes them, one after the other, leaving out the one at skip.
QByteArray rewritten(const ArchiveTable& table, qsizetype skip = -1)
{
    QByteArray out;
    for (qsizetype r = 0; r < table.size(); ++r) {
        if (r != skip)
            encodeRewrittenRecord(table[r], out);
    }
    return out;
}

const StoredDateReader& dates()
{
    static const StoredDateReader reader(QLocale(QLocale::English, QLocale::UnitedStates));
    return reader;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // Every byte decodes, and encodes back to itself.
    const QString text = decodeWindows1252(bytes);
    QByteArray again;
    qsizetype unencodable = 0;
    require(encodeWindows1252(text, again, unencodable) && again == bytes);

    const ArchiveTable table = readArchive(bytes);
    require(table.size() <= bytes.count(RecordMarker));

    for (const SlipRecord& record : table) {
        for (int column = 0; column < RecordColumnCount; ++column) {
            const QByteArrayView value = record.columnBytes(column);
            require(!value.contains('\r') && !value.contains('\n'));
            require(value.isEmpty() || (value.front() != ' ' && value.back() != ' '));
        }
        const PaletteState state = paletteStateOf(record);
        require(int(state.check) >= 0 && int(state.check) <= 2);
        const SlipTexts fields = slipTextsOf(record);
        require(fields[PayerName] == record.column(FirstFieldColumn));
        const std::optional<QDate> date = dates().read(record.column(DateColumn));
        require(!date || date->isValid());
    }
    const QStringList entries = listEntries(table, dates());
    require(entries.size() == table.size());

    // Written back as a deletion writes it, the records read the same, and writing them again changes
    // nothing.
    const QByteArray written = rewritten(table);
    const ArchiveTable reread = readArchive(written);
    require(reread == table);
    require(rewritten(reread) == written);

    // Without one record, the others keep their order.
    if (!table.isEmpty()) {
        const qsizetype gone = table.size() / 2;
        ArchiveTable expected = table;
        expected.removeAt(gone);
        require(readArchive(rewritten(table, gone)) == expected);
    }
    return 0;
}
