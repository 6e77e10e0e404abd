// Any bytes as a register file, opened as `dscmgr list` opens it: either the file is refused with
// a reason, or its rows are read to the end or fail with an error; nothing crashes, hangs or
// writes to the file.

#include "platform/Db.h"
#include "platform/DbAddress.h"
#include "platform/Error.h"
#include "store/CertRows.h"
#include "store/StoreStatements.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_register_file";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KYTDscMgr.db"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(bytes);
    }
    {
        QString why;
        const auto db =
            kyt::Db::open(kyt::DbAddress::sqliteFile(path), &why, kyt::Db::Access::ReadOnly, kyt::Db::Check::Structure);
        if (db) {
            try {
                CertRows::readUtf8(*db, StoreStatements::selectAll(), [](const CertRows::Utf8Fields&) {});
            } catch (const kyt::Error&) {
            }
        } else if (why.isEmpty()) {
            std::abort();
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes)
        std::abort();
    return 0;
}
