// One desk of the record-number load test: saves COUNT new records into the register at ADDRESS
// the way the register window's save does, and exits 0 when every one was written.
//   srno_saver ADDRESS COUNT TAG

#include "platform/Db.h"
#include "platform/Error.h"
#include "store/RecordNumbers.h"

#include <cstdio>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: srno_saver ADDRESS COUNT TAG\n");
        return 2;
    }
    QString error;
    const auto address = kyt::DbAddress::parse(QString::fromLocal8Bit(argv[1]), &error);
    const auto db = address ? kyt::Db::open(*address, &error) : nullptr;
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const int count = QByteArray(argv[2]).toInt();
    const QString tag = QString::fromLocal8Bit(argv[3]);
    try {
        for (int i = 0; i < count; ++i) {
            StoreStatements::RecordValues values;
            values[0] = QStringLiteral("%1 record %2").arg(tag).arg(i);
            values[2] = QStringLiteral("%1-%2").arg(tag).arg(i);
            values[4] = QStringLiteral("01/04/2024 10:00:00");
            values[5] = QStringLiteral("31/03/2026 10:00:00");
            int n = 0;
            InsertNewRecord(*db, values, n);
            db->execute(StoreStatements::flushTables());
        }
    } catch (const kyt::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.record().description));
        return 1;
    }
    return 0;
}
