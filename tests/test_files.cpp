// Files the program reads and writes: only regular files are read, with a bound; files made on
// request are written into a new file and renamed into place, never through a device, a pipe or
// a link planted in a shared folder. The command line is run as a process with a timeout, so a
// read that blocks shows as a failure rather than a stuck test.

#include "component/ClsMain.h"
#include "platform/ProfileFile.h"
#include "platform/RegularFile.h"
#include "platform/ReplacingFile.h"
#include "support/RegisterWindowHarness.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Longer than any of these runs takes, far shorter than the test's own time limit.
constexpr int kNoHangMs = 30000;

void makeFifo(const QString& path) {
    QVERIFY2(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0, qPrintable(path));
}

void makeLink(const QString& target, const QString& link) {
    QVERIFY2(QFile::link(target, link), qPrintable(link));
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

bool isFifo(const QString& path) {
    return S_ISFIFO(modeOf(path));
}

// /dev/null is only ever named through paths the program must refuse; it must still be the device.
bool devNullIsIntact() {
    return S_ISCHR(modeOf(QStringLiteral("/dev/null")));
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A folder with the sticky bit, writable by everyone, as the shared temporary folder is.
QString stickyFolder(const QTemporaryDir& dir) {
    const QString folder = dir.filePath(QStringLiteral("shared"));
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 01777);
    return folder;
}

testsupport::ProgramRun run(const QStringList& args, const QString& registry) {
    std::unique_ptr<QProcess> p(testsupport::startDscmgr(args, registry));
    return testsupport::finishRun(*p, kNoHangMs);
}

// The one line a refusal gives on the error stream.
void expectOneLine(const testsupport::ProgramRun& r, int status, const QString& words) {
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + QStringLiteral(": ") + r.err));
    QVERIFY2(r.err.count(QLatin1Char('\n')) == 1 && r.err.startsWith(QStringLiteral("dscmgr: ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(words), qPrintable(r.err));
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void readsOnlyRegularFilesWithABound();
    void replacesThroughANewFile();
    void sharedFolderKeepsOthersFiles();
    void settingsLeaveSpecialFilesAlone();
    void proofDocumentsOnlyFromAndToRegularFiles();
    void reportRefusesWhatIsNoRegularFile();
    void specialInputsAreNamedNotWaitedOn();
};

void TestFiles::readsOnlyRegularFilesWithABound() {
    QTemporaryDir dir;
    const auto at = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    testsupport::writeFile(at("small"), "0123456789");
    testsupport::writeFile(at("large"), "0123456789!");
    makeFifo(at("pipe"));
    makeLink(QStringLiteral("/dev/zero"), at("zero"));
    makeLink(at("nowhere"), at("dangling"));
    QDir().mkdir(at("folder"));

    const kyt::FileContents small = kyt::readRegularFile(at("small"), 10);
    QVERIFY(small.ok());
    QCOMPARE(small.bytes, QByteArray("0123456789"));

    using Status = kyt::FileContents::Status;
    const struct {
        const char* name;
        Status status;
        const char* words;
    } refused[] = {
        {"large", Status::TooLarge, "is larger than 10 bytes"},
        {"pipe", Status::NotRegular, "is a named pipe (FIFO), not a regular file"},
        {"zero", Status::NotRegular, "is a character device, not a regular file"},
        {"folder", Status::NotRegular, "is a folder, not a regular file"},
        {"dangling", Status::Unreadable, "is a symbolic link to a file that does not exist"},
        {"absent", Status::Missing, "does not exist"},
    };
    for (const auto& c : refused) {
        const kyt::FileContents read = kyt::readRegularFile(at(c.name), 10);
        QVERIFY2(read.status == c.status && read.why == QLatin1String(c.words), c.name);
        QVERIFY(read.bytes.isEmpty());
        QCOMPARE(kyt::pathIsAbsent(at(c.name)), c.status == Status::Missing);
    }
    QVERIFY(isFifo(at("pipe")));
}

void TestFiles::replacesThroughANewFile() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));

    // A new file, then the same file replaced: a new inode, the old permissions kept.
    QCOMPARE(kyt::ReplacingFile::writeAll(file, "first"), QString());
    ::chmod(QFile::encodeName(file).constData(), 0640);
    struct stat old {};
    ::stat(QFile::encodeName(file).constData(), &old);
    QCOMPARE(kyt::ReplacingFile::writeAll(file, "second"), QString());
    struct stat now {};
    ::stat(QFile::encodeName(file).constData(), &now);
    QCOMPARE(testsupport::readFile(file), QByteArray("second"));
    QVERIFY(now.st_ino != old.st_ino);
    QCOMPARE(now.st_mode & 07777, mode_t(0640));

    // Outside a shared folder a link is followed: its target is replaced and the link stays.
    const QString link = dir.filePath(QStringLiteral("latest.pdf"));
    makeLink(file, link);
    QCOMPARE(kyt::ReplacingFile::writeAll(link, "third"), QString());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(testsupport::readFile(file), QByteArray("third"));

    // A write given up leaves the old file and no new one beside it.
    {
        kyt::ReplacingFile out(file);
        QVERIFY(out.open());
        out.device().write("half");
    }
    QCOMPARE(testsupport::readFile(file), QByteArray("third"));
    QCOMPARE(entries(dir.path()), (QStringList{QStringLiteral("latest.pdf"), QStringLiteral("report.pdf")}));

    // A deferred file at a free name is written there directly: given up, nothing is left of it;
    // committed, it has its bytes and the permissions any new file gets.
    const QString copy = dir.filePath(QStringLiteral("copy.pdf"));
    for (const bool finished : {false, true}) {
        kyt::ReplacingFile out(copy, kyt::ReplacingFile::Durability::Deferred);
        QVERIFY(out.open());
        out.device().write(finished ? "whole" : "half");
        if (finished)
            QVERIFY(out.commit());
        else
            out.cancel();
        QCOMPARE(entries(dir.path()).contains(QStringLiteral("copy.pdf")), finished);
    }
    QCOMPARE(testsupport::readFile(copy), QByteArray("whole"));
    const QString fresh = dir.filePath(QStringLiteral("fresh.pdf"));
    QCOMPARE(kyt::ReplacingFile::writeAll(fresh, "fresh"), QString());
    QCOMPARE(modeOf(copy) & 07777, modeOf(fresh) & 07777);
}

void TestFiles::sharedFolderKeepsOthersFiles() {
    // (Pipes, devices, folders and planted links are refused as the report shows below.)
    QTemporaryDir dir;
    const QString shared = stickyFolder(dir);
    const QString theirs = shared + QStringLiteral("/theirs");
    testsupport::writeFile(theirs, "theirs");
    if (::geteuid() == 0) {
        QCOMPARE(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
        const QString why = QStringLiteral("belongs to another user, in a folder that others may write");
        QCOMPARE(kyt::ReplacingFile::whyNotWritable(theirs), why);
        QCOMPARE(kyt::ReplacingFile::writeAll(theirs, "overwritten"), why);
        QCOMPARE(testsupport::readFile(theirs), QByteArray("theirs"));
    }
    // A file of this user's own there is written as anywhere else.
    QCOMPARE(kyt::ReplacingFile::writeAll(shared + QStringLiteral("/mine"), "mine"), QString());
    QCOMPARE(kyt::ReplacingFile::writeAll(shared + QStringLiteral("/mine"), "again"), QString());
    QCOMPARE(testsupport::readFile(shared + QStringLiteral("/mine")), QByteArray("again"));
    QCOMPARE(entries(shared), (QStringList{QStringLiteral("mine"), QStringLiteral("theirs")}));
}

void TestFiles::settingsLeaveSpecialFilesAlone() {
    testsupport::ComponentFixture fx;
    fx.attach();
    const QString settings = fx.folder + QStringLiteral("/Confg.ini");
    makeFifo(settings);

    // The settings read gives the default, as for a file that cannot be read, and the log says why;
    // a write leaves the pipe a pipe.
    QCOMPARE(fx.cls->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0")),
             QStringLiteral("0"));
    QVERIFY2(fx.logText().contains(settings + QStringLiteral(" is a named pipe (FIFO)")), qPrintable(fx.logText()));
    fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("30"));
    QVERIFY(isFifo(settings));
    QVERIFY(
        !kyt::ProfileFile(settings).write(QStringLiteral("Settings"), QStringLiteral("DSCAuto"), QStringLiteral("1")));
}

void TestFiles::proofDocumentsOnlyFromAndToRegularFiles() {
    regtest::RegisterWindow h;
    h.open();
    const QString pipe = h.fx.folder + QStringLiteral("/picked/scan.pdf");
    QDir().mkpath(h.fx.folder + QStringLiteral("/picked"));
    makeFifo(pipe);
    h.click(h.w->cmdadd);
    h.fill(QStringLiteral("Holder"));
    h.choose(regtest::Kind::Id, pipe);
    h.click(h.w->cmdupdate);
    // The record is saved; one box says why the document is not.
    QCOMPARE(h.numbers(), QList<int>{1});
    QCOMPARE(h.said().size(), 1);
    QVERIFY2(h.said()[0].contains(pipe + QStringLiteral("] is a named pipe (FIFO), not a regular file")),
             qPrintable(h.said()[0]));
    QCOMPARE(entries(h.idDoc(1)), QStringList());

    // A pipe where the stored document should be is not written into, nor replaced.
    makeFifo(h.idDoc(1, QStringLiteral("pan.pdf")));
    h.click(h.w->cmdmodify);
    h.choose(regtest::Kind::Id, h.outsideFile(QStringLiteral("pan.pdf"), "PAN"));
    h.fx.dialogs->queueYes(); // overwrite
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said().size(), 3);
    QVERIFY2(h.said()[2].contains(QStringLiteral("pan.pdf] is a named pipe (FIFO)")), qPrintable(h.said()[2]));
    QVERIFY(isFifo(h.idDoc(1, QStringLiteral("pan.pdf"))));
    QCOMPARE(entries(h.idDoc(1)), QStringList{QStringLiteral("pan.pdf")});
}

void TestFiles::reportRefusesWhatIsNoRegularFile() {
    testsupport::ComponentFixture fx;
    fx.insert(1, QStringLiteral("Asha Rao"), QStringLiteral("2024-01-01 00:00:00"),
              QStringLiteral("2027-01-01 00:00:00"));
    const QString registry = fx.objects->file();
    const QStringList where = {QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"),
                               testsupport::addressOf(*fx.db)};
    QTemporaryDir out;
    const QString shared = stickyFolder(out);
    const QString victim = out.filePath(QStringLiteral("victim.pdf"));
    testsupport::writeFile(victim, "keep");
    makeFifo(out.filePath(QStringLiteral("pipe.pdf")));
    makeLink(QStringLiteral("/dev/null"), out.filePath(QStringLiteral("null.pdf")));
    QDir().mkdir(out.filePath(QStringLiteral("folder.pdf")));
    makeLink(victim, shared + QStringLiteral("/planted.pdf"));
    const QStringList before = entries(out.path()), sharedBefore = entries(shared);

    const QList<std::pair<QString, QString>> cases = {
        {out.filePath(QStringLiteral("pipe.pdf")), QStringLiteral("it is a named pipe (FIFO)")},
        {out.filePath(QStringLiteral("null.pdf")), QStringLiteral("it is a character device")},
        {out.filePath(QStringLiteral("folder.pdf")), QStringLiteral("it is a folder")},
        {shared + QStringLiteral("/planted.pdf"), QStringLiteral("it is a symbolic link in a folder that others")},
    };
    for (const auto& [path, words] : cases) {
        const testsupport::ProgramRun r =
            run(QStringList{QStringLiteral("report"), QStringLiteral("--pdf"), path} + where, registry);
        expectOneLine(r, 2, QStringLiteral("Cannot write %1: %2").arg(path, words));
        QVERIFY(r.out.isEmpty());
    }
    QCOMPARE(entries(out.path()), before);
    QCOMPARE(entries(shared), sharedBefore);
    QVERIFY(isFifo(out.filePath(QStringLiteral("pipe.pdf"))));
    QVERIFY(devNullIsIntact());
    QCOMPARE(testsupport::readFile(victim), QByteArray("keep"));

    // A link of the user's own, in a folder of their own, is followed: the report replaces its target.
    const QString link = out.filePath(QStringLiteral("latest.pdf"));
    makeLink(victim, link);
    const testsupport::ProgramRun written =
        run(QStringList{QStringLiteral("report"), QStringLiteral("--pdf"), link} + where, registry);
    QVERIFY2(written.status == 0, qPrintable(written.err));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(testsupport::readFile(victim).startsWith("%PDF-"));
    QCOMPARE(entries(out.path()).size(), before.size() + 1);
}

void TestFiles::specialInputsAreNamedNotWaitedOn() {
    testsupport::ComponentFixture fx;
    fx.insert(1, QStringLiteral("Asha Rao"), QStringLiteral("2024-01-01 00:00:00"),
              QStringLiteral("2027-01-01 00:00:00"));
    const QString registry = fx.objects->file();
    const QStringList where = {QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"),
                               testsupport::addressOf(*fx.db)};
    const QString settings = fx.folder + QStringLiteral("/Confg.ini");

    // A settings file that is a pipe or leads to a device that never ends.
    makeFifo(settings);
    for (const QStringList& command : {QStringList{QStringLiteral("list"), QStringLiteral("--expiring")},
                                       QStringList{QStringLiteral("remind"), QStringLiteral("--dry-run")}})
        expectOneLine(run(command + where, registry), 2,
                      QStringLiteral("the settings file %1 is a named pipe (FIFO)").arg(settings));
    QFile::remove(settings);
    makeLink(QStringLiteral("/dev/zero"), settings);
    expectOneLine(run(QStringList{QStringLiteral("list"), QStringLiteral("--expiring")} + where, registry), 2,
                  QStringLiteral("the settings file %1 is a character device").arg(settings));
    QFile::remove(settings);

    // A register that is a pipe.
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("register.db"));
    makeFifo(pipe);
    expectOneLine(run({QStringLiteral("list"), QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"),
                       QStringLiteral("sqlite:") + pipe},
                      registry),
                  2, QStringLiteral("it is a named pipe (FIFO)"));

    // Certificate and password files that are a pipe or a device: the certificate's reason names
    // it (status 1, as for any certificate that cannot be read), a password file is refused.
    const QString zero = dir.filePath(QStringLiteral("zero.pfx"));
    makeLink(QStringLiteral("/dev/zero"), zero);
    const QString bundle = dir.filePath(QStringLiteral("bundle.pfx"));
    testsupport::writeFile(bundle, "not a bundle");
    const QStringList folder = {QStringLiteral("--folder"), fx.folder};
    expectOneLine(
        run(QStringList{QStringLiteral("certinfo"), pipe, QStringLiteral("--password"), QStringLiteral("x")} + folder,
            registry),
        1, QStringLiteral(": a named pipe (FIFO), not a regular file"));
    expectOneLine(
        run(QStringList{QStringLiteral("certinfo"), zero, QStringLiteral("--password"), QStringLiteral("x")} + folder,
            registry),
        1, QStringLiteral(": a character device, not a regular file"));
    for (const auto& [file, words] : {std::pair{pipe, QStringLiteral("is a named pipe (FIFO)")},
                                      std::pair{zero, QStringLiteral("is a character device")}})
        expectOneLine(
            run(QStringList{QStringLiteral("certinfo"), bundle, QStringLiteral("--password-file"), file} + folder,
                registry),
            2, QStringLiteral("the password file %1 %2").arg(file, words));
    QVERIFY(isFifo(pipe));
}

QTEST_MAIN(TestFiles)
#include "test_files.moc"
