// `dscmgr list` on a large SQLite register against the sqlite3 shell printing the same statement:
// the best of three runs of each (wall clock and processor time), output thrown away, and the
// largest resident size of each; each line of dscmgr gives its ratio to the shell.
//   bench_list_command [ROWS]   (default 100000)
// The sqlite3 line is left out when the shell is not installed (Debian package sqlite3).

#include "BenchData.h"

#include <cstdio>
#include <fcntl.h>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
struct Measure {
    double seconds = 0; // wall clock
    double cpu = 0;     // user and system time: steadier than the wall clock on a busy machine
    long maxRssKb = 0;
};

// One run with stdout to /dev/null: the wall time and the child's largest resident size.
Measure runOnce(const QStringList& command) {
    std::vector<QByteArray> store;
    for (const QString& part : command)
        store.push_back(part.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& part : store)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    timespec start{}, stop{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    clock_gettime(CLOCK_MONOTONIC, &stop);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s exited with %d\n", argv[0], WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return {double(stop.tv_sec - start.tv_sec) + double(stop.tv_nsec - start.tv_nsec) / 1e9,
            seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

Measure best(const QStringList& command) {
    Measure m = runOnce(command);
    for (int i = 0; i < 2; ++i) {
        const Measure next = runOnce(command);
        m.seconds = std::min(m.seconds, next.seconds);
        m.cpu = std::min(m.cpu, next.cpu);
        m.maxRssKb = std::max(m.maxRssKb, next.maxRssKb);
    }
    return m;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("KYTDscMgr.db"));
    {
        QString why;
        auto db = kyt::Db::open(*kyt::DbAddress::parse(QStringLiteral("sqlite:") + file, &why), &why);
        if (!db) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
        bench::fill(*db, rows);
    }
    const QString dscmgr = QCoreApplication::applicationDirPath() + QStringLiteral("/dscmgr");
    const QStringList list = {dscmgr, QStringLiteral("list"), QStringLiteral("--folder"), dir.path()};

    std::printf("%d rows\n", rows);
    double reference = 0, referenceCpu = 0;
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (!shell.isEmpty()) {
        const Measure m = best({shell, QStringLiteral("-separator"), QStringLiteral("\t"), file,
                                QStringLiteral("Select * from DscStore Order By DtFrom,Nm")});
        reference = m.seconds;
        referenceCpu = m.cpu;
        std::printf("sqlite3 shell       %6.3f s  cpu %6.3f s  %6.1f MB\n", m.seconds, m.cpu,
                    double(m.maxRssKb) / 1024);
    } else {
        std::printf("sqlite3 shell       not installed (apt-get install sqlite3); no ratios\n");
    }
    for (const auto& [name, extra] : {std::pair{"dscmgr list       ", QStringList()},
                                      std::pair{"dscmgr list --csv ", QStringList{QStringLiteral("--csv")}},
                                      std::pair{"dscmgr list --json", QStringList{QStringLiteral("--json")}}}) {
        const Measure m = best(list + extra);
        std::printf("%s  %6.3f s  cpu %6.3f s  %6.1f MB", name, m.seconds, m.cpu, double(m.maxRssKb) / 1024);
        if (reference > 0)
            std::printf("  %.2fx (cpu %.2fx)", m.seconds / reference, m.cpu / referenceCpu);
        std::printf("\n");
    }
    return 0;
}
