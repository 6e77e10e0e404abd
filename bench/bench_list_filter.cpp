// Narrows the register's list by typing in its find box, a key at a time, as a user does, on a
// register of many certificates, and prints how long each key takes until the list is painted
// again; then clears the box with Escape.
// Usage: bench_list_filter [ROWS]   (default 100000). The target: under 0.3 s a key at 100,000 rows.

#include "BenchData.h"
#include "component/ClsMain.h"
#include "listing/ListFindBar.h"
#include "register/frmDscMain.h"

#include <algorithm>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
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

    window.vs->setFocus();
    QTest::keyClick(window.vs, Qt::Key_F, Qt::ControlModifier);
    auto* bar = window.findChild<ListFindBar*>(QStringLiteral("famfind"));
    double slowest = 0;
    auto timed = [&](const QString& what, const std::function<void()>& act) {
        QElapsedTimer timer;
        timer.start();
        act();
        window.vs->viewport()->repaint();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        slowest = std::max(slowest, ms);
        out << what << ": " << QString::number(ms, 'f', 1) << " ms, " << window.vs->Rows() - 1 << " rows shown\n";
    };
    // A name typed a letter at a time: the first letters match nearly every row, the last few.
    for (const QChar c : QStringLiteral("holder 4711")) {
        timed(QStringLiteral("typed \"%1\"").arg(bar->box()->text() + c),
              [&] { QTest::keyClick(bar->box(), c.toLatin1()); });
    }
    timed(QStringLiteral("Backspace"), [&] { QTest::keyClick(bar->box(), Qt::Key_Backspace); });
    timed(QStringLiteral("a text found in no row"), [&] { QTest::keyClicks(bar->box(), QStringLiteral("x")); });
    timed(QStringLiteral("Escape, every row again"), [&] { QTest::keyClick(bar->box(), Qt::Key_Escape); });
    out << "slowest: " << QString::number(slowest, 'f', 1) << " ms (target under 300 ms)\n";
    return 0;
}
