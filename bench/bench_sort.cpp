// Sorts the register's list by a column heading as a user does, on a register of many
// certificates, and prints how long each sort takes until the list is painted again.
// Usage: bench_sort [ROWS]   (default 100000). The target: under 0.3 s a sort at 100,000 rows.

#include "BenchData.h"
#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "store/RecordLayout.h"

#include <algorithm>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTextStream out(stdout);

    QTemporaryDir dir;
    auto db = bench::openDb(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db")));
    bench::fill(*db, rows);
    auto cls = std::make_shared<ClsMain>();
    cls->DocPath = dir.path();
    cls->Db = db;
    cls->LogFlNm = QStringLiteral("bench.log");
    frmDscMain window;
    window.InitData(cls, false);
    window.show();
    QApplication::processEvents();
    out << "rows: " << window.vs->Rows() - 1 << '\n';

    QHeaderView* heading = window.vs->horizontalHeader();
    double slowest = 0;
    // Name, type, serial number, issuer, valid to, e-mail, mobile, and the list's own order.
    using namespace RecordLayout;
    for (int column : {columnOf(Nm), columnOf(Typ), columnOf(SerialNo), columnOf(IssAuth), columnOf(DtTo),
                       columnOf(Email), columnOf(Mobile), kRunningNumberColumn}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            QElapsedTimer timer;
            timer.start();
            heading->setSortIndicator(column, order); // what a click on the heading does
            const double sorted = double(timer.nsecsElapsed()) / 1e6;
            window.vs->viewport()->repaint();
            const double ms = double(timer.nsecsElapsed()) / 1e6;

            slowest = std::max(slowest, ms);
            out << "sort by \"" << window.vs->TextMatrix(0, column) << "\" "
                << (order == Qt::AscendingOrder ? "up" : "down") << ": " << QString::number(ms, 'f', 1) << " ms ("
                << QString::number(sorted, 'f', 1) << " ms sorting, the rest drawing)\n";
        }
    }
    out << "slowest: " << QString::number(slowest, 'f', 1) << " ms (target under 300 ms)\n";
    return 0;
}
