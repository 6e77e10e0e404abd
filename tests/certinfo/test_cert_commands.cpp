// `dscmgr certinfo` and `dscmgr store` as a script runs them: what the command line adds to the
// certificate details (numbered lines, exit codes, registration, a quiet error stream). The details
// themselves are the certificate detail tests' concern. Runs with TZ=Asia/Kolkata.

#include "CertificateFactory.h"
#include "platform/ObjectRegistry.h"
#include "SoftHsmTokens.h"
#include "support/TestSupport.h"

#include <memory>
#include <poll.h>
#include <pty.h>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace kyt::test;

namespace {
using Run = testsupport::ProgramRun;
} // namespace

class CertCommandsTest : public testsupport::DialogsCheckedTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void certinfoPrintsLabelledDetailsAndRegisters();
    void hostileNamesStayOnTheirLine();
    void storeIsListedAndReadByIndex();
    void importOnboardsAFolderOnce();
    void passwordComesFromFileEnvironmentOrTerminal();

private:
    QProcessEnvironment environment() const { return testsupport::dscmgrEnvironment(registry_, {"KYT_PASSWORD"}); }

    // Runs dscmgr as a script would under cron; `extra` holds NAME=VALUE.
    Run dscmgr(const QStringList& args, const QStringList& extra = {}) const {
        return testsupport::runDscmgr(args + QStringList{"--folder", dir_.path()}, registry_,
                                      QStringList{"KYT_PASSWORD"} + extra);
    }

    QTemporaryDir dir_;
    QString registry_;
    kyt::certinfo::CryptoContext crypto_;
    QString bundle_;
    std::unique_ptr<SoftHsmTokens> tokens_;
};

void CertCommandsTest::initTestCase() {
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Command CA"));
    CertificateRecipe holder;
    holder.subject = {commonName(QStringLiteral("Meera Iyer")), unit(QStringLiteral("Class 2 Organisation"))};
    holder.serial = QByteArray::fromHex("1a2b3c");
    holder.altNames = QStringLiteral("email:meera@example.in");
    bundle_ = writeFile(
        dir_.path(), QStringLiteral("meera.pfx"),
        pkcs12Of(makeCertificate(holder, &ca), {.password = "pw", .encryption = Pkcs12Encryption::Rc2Forty}, crypto_));

    if (const QString missing = SoftHsmTokens::missingTools(); !missing.isEmpty())
        QFAIL(qPrintable(QStringLiteral("not installed: ") + missing));
    tokens_ = std::make_unique<SoftHsmTokens>();
    const QString error =
        tokens_->addToken(QStringLiteral("Command"), {{"cert-0", holderDer(QStringLiteral("Anil Token"), ca)},
                                                      {"cert-1", holderDer(QStringLiteral("Bina Token"), ca)}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    qputenv("KYT_PKCS11_MODULES", SoftHsmTokens::kModule.toUtf8());
    // A registry naming a library that is gone, as after an uninstall.
    registry_ = dir_.filePath(QStringLiteral("objects.ini"));
    kyt::ObjectRegistry(registry_).registerObject(QStringLiteral("KYTCertInfo.ClsCertMain"),
                                                  dir_.filePath(QStringLiteral("gone/libKYTCertInfo.so")));
}

void CertCommandsTest::certinfoPrintsLabelledDetailsAndRegisters() {
    const Run r = dscmgr({"certinfo", bundle_, "--password", "pw"});
    QCOMPARE(r.err, QString()); // nothing but the program's own messages
    QCOMPARE(r.status, 0);
    QCOMPARE(r.lines, QStringList({"Error: ", "Name: Meera Iyer", "Type: Class 2 Organisation", "Serial: 1A2B3C",
                                   "Issuer: Command CA", "Valid from: 05/03/2024 11:37:08",
                                   "Valid to: 02/01/2051 01:30:00", "E-mail: meera@example.in"}));
    // Registered by the command itself, for the next program that asks.
    const QFileInfo library(kyt::ObjectRegistry(registry_).libraryFor(QStringLiteral("KYTCertInfo.ClsCertMain")));
    QVERIFY(library.exists() && library.fileName() == QLatin1String("libKYTCertInfo.so"));

    // A certificate that cannot be read: the error text, empty details, exit status 1.
    const Run wrong = dscmgr({"certinfo", "--json", bundle_, "--password", "nope"});
    QCOMPARE(wrong.status, 1);
    // Why, on the error stream only.
    QCOMPARE(wrong.err, QStringLiteral("dscmgr: %1: wrong password\n").arg(bundle_));
    QCOMPARE(dscmgr({"certinfo", bundle_ + QStringLiteral(".gone")}).err,
             QStringLiteral("dscmgr: %1.gone: file not found\n").arg(bundle_));
    const QJsonObject failed = QJsonDocument::fromJson(wrong.lines.join(QLatin1Char('\n')).toUtf8()).object();
    QCOMPARE(failed.size(), 8);
    QCOMPARE(failed.value(QStringLiteral("Error")).toString(),
             QStringLiteral("Error Retrieving Certificate Information."));
    QCOMPARE(failed.value(QStringLiteral("Name")).toString(), QString());
}

// File names and certificate fields reach the terminal on their own line, without escape sequences,
// bidirectional controls shown as marks; JSON carries them as they are.
void CertCommandsTest::hostileNamesStayOnTheirLine() {
    const QString cn = QStringLiteral("Evil\x1b[2J\nName \u202Efdp.exe");
    CertificateRecipe recipe;
    recipe.subject = {commonName(cn)};
    recipe.serial = QByteArray::fromHex("0bad");
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Hostile CA"));
    const QString folder = dir_.filePath(QStringLiteral("hostile"));
    QDir().mkpath(folder);
    const QString file = writeFile(folder, QStringLiteral("two\nlines\t\x1b[31m.pfx"),
                                   pkcs12Of(makeCertificate(recipe, &ca), {.password = "pw"}, crypto_));
    const Run info = dscmgr({"certinfo", file}, {"KYT_PASSWORD=pw"});
    QCOMPARE(info.lines.size(), 8);
    QCOMPARE(info.lines[1], QStringLiteral("Name: Evil [2J Name <U+202E>fdp.exe"));
    const Run json = dscmgr({"certinfo", "--json", file}, {"KYT_PASSWORD=pw"});
    QCOMPARE(QJsonDocument::fromJson(json.lines.join(QLatin1Char('\n')).toUtf8()).object().value("Name").toString(),
             cn);

    const Run import = dscmgr({"import", folder, "--db", "sqlite:" + dir_.filePath(QStringLiteral("hostile.db"))},
                              {"KYT_PASSWORD=pw"});
    QVERIFY2(import.status == 0, qPrintable(import.err));
    QCOMPARE(import.lines.size(), 3); // heading, the entry, the summary
    QVERIFY2(import.lines[1].startsWith(QStringLiteral("1\ttwo lines  [31m\tEvil [2J Name <U+202E>fdp.exe\t")),
             qPrintable(import.lines[1]));
    QVERIFY(!import.lines.join(QString()).contains(QLatin1Char('\x1b')));
    QVERIFY(import.err.isEmpty()); // no progress when standard error is no terminal
}

void CertCommandsTest::storeIsListedAndReadByIndex() {
    const QString validTo = QStringLiteral("02/01/2051 01:30:00");
    const Run list = dscmgr({"store"});
    QVERIFY2(list.status == 0, qPrintable(list.err));
    QCOMPARE(list.lines,
             QStringList({"0\tAnil Token\tCommand CA\t" + validTo, "1\tBina Token\tCommand CA\t" + validTo}));
    const Run second = dscmgr({"certinfo", "--store", "1"});
    QVERIFY2(second.status == 0, qPrintable(second.err));
    QCOMPARE(second.lines.value(1), QStringLiteral("Name: Bina Token"));
    const Run beyond = dscmgr({"certinfo", "--store", "2"});
    QCOMPARE(beyond.status, 1);
    QCOMPARE(beyond.err, QStringLiteral("dscmgr: store certificate 2: no certificate on the token\n"));
    // Selector -1 would wait for a person to pick from a window that nobody sees.
    const Run chooser = dscmgr({"certinfo", "--store", "-1"});
    QCOMPARE(chooser.status, 2);
    QVERIFY(chooser.lines.isEmpty());
    QVERIFY2(chooser.err.contains(QStringLiteral("dscmgr: --store")), qPrintable(chooser.err));
    // No token at all: said on the error stream, exit status 1.
    const Run none = dscmgr({"store"}, {"KYT_PKCS11_MODULES=" + dir_.filePath(QStringLiteral("no-module.so"))});
    QCOMPARE(none.status, 1);
    QVERIFY(none.lines.isEmpty());
    QVERIFY2(none.err.startsWith(QStringLiteral("dscmgr: no signing token")), qPrintable(none.err));
}

void CertCommandsTest::importOnboardsAFolderOnce() {
    const QString folder = dir_.filePath(QStringLiteral("clients"));
    QDir().mkpath(folder);
    QFile::copy(bundle_, folder + QStringLiteral("/Meera.pfx"));
    writeFile(folder, QStringLiteral("readme.txt"), QByteArray("not a certificate"));
    const QStringList args = {"import",     folder,    folder + QStringLiteral("/./Meera.pfx"), "--password", "pw",
                              "--id-proof", "PAN Card"};
    const QString meera = QStringLiteral("1\tMeera\tMeera Iyer\tClass 2 Organisation\t1A2B3C\tCommand CA\t05/03/2024 "
                                         "11:37:08\t02/01/2051 01:30:00\tmeera@example.in\t");
    // The file named again by another path is listed once; the text file is read and refused.
    const Run first = dscmgr(args);
    QCOMPARE(first.status, 1);
    QCOMPARE(first.lines.mid(1), QStringList({meera + "Imported Successfully",
                                              "2\treadme\t\t\t\t\t\t\t\tError Retrieving Certificate Information.",
                                              "1 Records Transferred."}));
    QVERIFY(first.lines.value(0).startsWith(QStringLiteral("Sr. No.\tFile Name\tCeritificate Name")));
    QVERIFY2(first.err.contains(folder + QStringLiteral("/readme.txt: not a certificate file\n")),
             qPrintable(first.err));
    // A certificate already in the register is no failure of the run.
    const Run again = dscmgr({"import", folder + QStringLiteral("/Meera.pfx"), "--password", "pw"});
    QCOMPARE(again.status, 0);
    QCOMPARE(again.lines.mid(1), QStringList({meera + "Duplicate Serial Number", "0 Records Transferred."}));
    const Run list = dscmgr({"list"});
    QCOMPARE(list.lines.size(), 2);
    QVERIFY(list.lines[1].contains(QStringLiteral("\tPAN Card\t")));
}

// Runs dscmgr on a pseudo-terminal as a person at a terminal would, typing `typed` once `prompt` shows;
// the exit status and everything the terminal showed.
std::pair<int, QByteArray> onTerminal(const QStringList& args, const QProcessEnvironment& env, const QByteArray& prompt,
                                      const QByteArray& typed) {
    // Everything the child needs is made before the fork.
    const QByteArray program = (testsupport::binDir() + QStringLiteral("/dscmgr")).toLocal8Bit();
    QList<QByteArray> argStore{program}, envStore;
    for (const QString& a : args)
        argStore << a.toLocal8Bit();
    for (const QString& e : env.toStringList())
        envStore << e.toLocal8Bit();
    std::vector<char*> argv, envp;
    for (QByteArray& a : argStore)
        argv.push_back(a.data());
    for (QByteArray& e : envStore)
        envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    QByteArray screen;
    bool typedYet = false;
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break; // the child closed the terminal
        screen.append(buffer, n);
        if (!typedYet && screen.contains(prompt)) {
            typedYet = true;
            QTest::qWait(100); // the echo is turned off after the prompt is written
            write(master, typed.constData(), size_t(typed.size()));
        }
    }
    close(master);
    int status = 0;
    if (deadline.hasExpired())
        kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, screen};
}

void CertCommandsTest::passwordComesFromFileEnvironmentOrTerminal() {
    const QString file = writeFile(dir_.path(), QStringLiteral("password.txt"), QByteArray("pw\r\nsecond line\n"));
    QCOMPARE(dscmgr({"certinfo", bundle_, "--password-file", file}).lines.value(1), QStringLiteral("Name: Meera Iyer"));
    const Run missing = dscmgr({"certinfo", bundle_, "--password-file", file + QStringLiteral(".gone")});
    QCOMPARE(missing.status, 2);
    QVERIFY2(missing.err.startsWith(QStringLiteral("dscmgr: the password file ")), qPrintable(missing.err));
    QCOMPARE(dscmgr({"certinfo", bundle_}, {"KYT_PASSWORD=pw"}).status, 0);
    QCOMPARE(dscmgr({"certinfo", bundle_}).status, 1); // no terminal to ask on: an empty password
    const Run import = dscmgr({"import", bundle_, "--password-file", file, "--db",
                               "sqlite:" + dir_.filePath(QStringLiteral("passwords.db"))});
    QVERIFY2(import.status == 0, qPrintable(import.err));

    const auto [status, screen] =
        onTerminal({"certinfo", bundle_, "--folder", dir_.path()}, environment(), "Password for meera.pfx: ", "pw\n");
    QVERIFY2(status == 0, screen.constData());
    QVERIFY2(screen.contains("Name: Meera Iyer"), screen.constData());
    QVERIFY2(!screen.contains("pw"), screen.constData()); // typed without echo

    // Progress of an import, on a terminal only.
    const auto [imported, shown] = onTerminal({"import", bundle_, "--password-file", file, "--folder", dir_.path(),
                                               "--db", "sqlite:" + dir_.filePath(QStringLiteral("progress.db"))},
                                              environment(), "never asked", "");
    QCOMPARE(imported, 0);
    QVERIFY2(shown.contains("Reading 1 of 1") && shown.contains("Importing 1 of 1"), shown.constData());
}

QTEST_MAIN(CertCommandsTest)
#include "test_cert_commands.moc"
