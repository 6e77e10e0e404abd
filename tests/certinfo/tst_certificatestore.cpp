// The certificate store through the certificate information object, on two SoftHSM2 tokens:
// "Alpha" holds Amy's and Zed's certificates and a certificate authority, "Beta" holds Bob's.

#include "CertComponentHarness.h"
#include "CertificateFactory.h"
#include "SoftHsmTokens.h"

#include <functional>
#include <memory>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace kyt::test;

namespace {

// Answers the chooser dialog once it is on screen; gives up after five seconds.
class ChooserAnswer {
public:
    explicit ChooserAnswer(std::function<void(QDialog*)> answer) : answer_(std::move(answer)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    bool shown() const { return shown_; }

private:
    void poll() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (dialog && dialog->objectName() == QLatin1String("frmCertChooser") && dialog->isVisible()) {
                timer_.stop();
                shown_ = true;
                answer_(dialog);
                return;
            }
        }
        if (++polls_ > 250)
            timer_.stop();
    }

    std::function<void(QDialog*)> answer_;
    QTimer timer_;
    int polls_ = 0;
    bool shown_ = false;
};

QStringList rowsOf(QDialog* dialog) {
    QStringList rows;
    auto* list = dialog->findChild<QTreeWidget*>();
    for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') + item->text(2);
    }
    return rows;
}

void pickRowAndPressOk(QDialog* dialog, int row) {
    auto* list = dialog->findChild<QTreeWidget*>();
    list->setCurrentItem(list->topLevelItem(row));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

const QString kValidTo = QStringLiteral("02/01/2051 01:30:00"); // 2051-01-01 20:00 UTC in India

} // namespace

class CertificateStoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void countsEndEntityCertificatesOfEveryToken();
    void eachIndexSelectsItsCertificateEveryTime();
    void indexOutsideTheStoreIsRefused_data();
    void indexOutsideTheStoreIsRefused();
    void tokenReachedTwiceCountsOnce();
    void listsTheStoreInStoreOrder();
    void chooserSelectsTheRowPicked();
    void chooserCancelledSelectsNothing();
    void emptyStoreAsksNothing();
    void tokenPulledOutBetweenCountAndRead();

private:
    std::unique_ptr<SoftHsmTokens> tokens_;
    KeyAndCertificate ca_;
    const QStringList expectedHolders_ = {QStringLiteral("Amy Holder"), QStringLiteral("Zed Holder"),
                                          QStringLiteral("Bob Holder")};
};

void CertificateStoreTest::initTestCase() {
    // Missing tools fail the test rather than skip it, so that a machine without them is noticed.
    if (const QString missing = SoftHsmTokens::missingTools(); !missing.isEmpty())
        QFAIL(qPrintable(QStringLiteral("not installed: ") + missing));
    tokens_ = std::make_unique<SoftHsmTokens>();
    CertificateRecipe caRecipe;
    caRecipe.subject = {commonName(QStringLiteral("Token Test CA"))};
    caRecipe.authority = true;
    ca_ = makeCertificate(caRecipe);
    auto holder = [this](const QString& name) {
        CertificateRecipe recipe;
        recipe.subject = {commonName(name)};
        return derOf(makeCertificate(recipe, &ca_).cert.get());
    };
    QVERIFY2(tokens_->initToken(QStringLiteral("Beta")), qPrintable(tokens_->lastOutput()));
    QVERIFY2(tokens_->initToken(QStringLiteral("Alpha")), qPrintable(tokens_->lastOutput()));
    // Written out of order: the store orders by token label, then object label.
    QVERIFY2(tokens_->writeCertificate("Alpha", holder("Zed Holder"), "b-zed", "02"),
             qPrintable(tokens_->lastOutput()));
    QVERIFY2(tokens_->writeCertificate("Alpha", derOf(ca_.cert.get()), "a-authority", "09"),
             qPrintable(tokens_->lastOutput()));
    QVERIFY2(tokens_->writeCertificate("Alpha", holder("Amy Holder"), "a-amy", "01"),
             qPrintable(tokens_->lastOutput()));
    QVERIFY2(tokens_->writeCertificate("Beta", holder("Bob Holder"), "a-bob", "01"), qPrintable(tokens_->lastOutput()));
}

void CertificateStoreTest::init() {
    qputenv("KYT_PKCS11_MODULES", SoftHsmTokens::kModule.toUtf8());
}

void CertificateStoreTest::countsEndEntityCertificatesOfEveryToken() {
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 3);
}

void CertificateStoreTest::eachIndexSelectsItsCertificateEveryTime() {
    CertComponentHarness component;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(component.storeCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(component.selectStore(i), QStringLiteral("0"));
            QCOMPARE(component.info("SUB", "CN"), expectedHolders_[i]);
            QCOMPARE(component.info("ISS", "CN"), QStringLiteral("Token Test CA"));
        }
    }
    // Without a count first, the index refers to the store as it is.
    CertComponentHarness uncounted;
    QCOMPARE(uncounted.selectStore(2), QStringLiteral("0"));
    QCOMPARE(uncounted.info("SUB", "CN"), expectedHolders_[2]);
}

void CertificateStoreTest::indexOutsideTheStoreIsRefused_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("count") << 3;
    QTest::newRow("far beyond") << 1000;
    QTest::newRow("negative") << -2;
}

void CertificateStoreTest::indexOutsideTheStoreIsRefused() {
    QFETCH(int, index);
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 3);
    QCOMPARE(component.selectStore(0), QStringLiteral("0"));
    QCOMPARE(component.selectStore(index), QStringLiteral("-1"));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("-3"));
}

void CertificateStoreTest::tokenReachedTwiceCountsOnce() {
    qputenv("KYT_PKCS11_MODULES", (SoftHsmTokens::kModule + QLatin1Char(':') + SoftHsmTokens::kModule).toUtf8());
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 3);
}

void CertificateStoreTest::listsTheStoreInStoreOrder() {
    CertComponentHarness component;
    const QVariantList list = component.storeList();
    QCOMPARE(list.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QVariantMap entry = list[i].toMap();
        QCOMPARE(entry.value("holder").toString(), expectedHolders_[i]);
        QCOMPARE(entry.value("issuer").toString(), QStringLiteral("Token Test CA"));
        QCOMPARE(entry.value("validTo").toString(), kValidTo);
    }
}

void CertificateStoreTest::chooserSelectsTheRowPicked() {
    CertComponentHarness component;
    QStringList rows;
    ChooserAnswer answer([&](QDialog* dialog) {
        rows = rowsOf(dialog);
        pickRowAndPressOk(dialog, 2);
    });
    QCOMPARE(component.selectStore(-1), QStringLiteral("0"));
    QVERIFY(answer.shown());
    QCOMPARE(rows, QStringList({"Amy Holder|Token Test CA|" + kValidTo, "Zed Holder|Token Test CA|" + kValidTo,
                                "Bob Holder|Token Test CA|" + kValidTo}));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("Bob Holder"));
}

void CertificateStoreTest::chooserCancelledSelectsNothing() {
    CertComponentHarness component;
    QCOMPARE(component.selectStore(0), QStringLiteral("0"));
    ChooserAnswer answer([](QDialog* dialog) { dialog->reject(); });
    QCOMPARE(component.selectStore(-1), QStringLiteral("-1"));
    QVERIFY(answer.shown());
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("-3"));
}

void CertificateStoreTest::emptyStoreAsksNothing() {
    qputenv("KYT_PKCS11_MODULES", "/nonexistent/libnothing.so");
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 0);
    ChooserAnswer answer([](QDialog* dialog) { dialog->reject(); });
    QCOMPARE(component.selectStore(-1), QStringLiteral("-1"));
    QVERIFY(!answer.shown());
}

// Last: it removes a token.
void CertificateStoreTest::tokenPulledOutBetweenCountAndRead() {
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 3);
    QVERIFY2(tokens_->deleteToken(QStringLiteral("Alpha")), qPrintable(tokens_->lastOutput()));
    QCOMPARE(component.selectStore(0), QStringLiteral("-1"));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("-3"));
    // Index 2 still means Bob's certificate, though it is now the store's only one.
    QCOMPARE(component.selectStore(2), QStringLiteral("0"));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("Bob Holder"));
    QCOMPARE(component.storeCount(), 1);
}

QTEST_MAIN(CertificateStoreTest)
#include "tst_certificatestore.moc"
