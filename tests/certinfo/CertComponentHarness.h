#pragma once

// Creates the certificate information object the way the component does: through the object
// registry, from the built library, and calls it by member name. Also answers its chooser.

#include "platform/ObjectRegistry.h"
#include "support/ScriptedDialogs.h"

#include <functional>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QVariant>

namespace kyt::test {

inline const QString kCertObjectId = QStringLiteral("KYTCertInfo.ClsCertMain");

class CertComponentHarness {
public:
    CertComponentHarness() : registry_(registryDir_.filePath(QStringLiteral("objects.ini"))) {
        registry_.registerObject(kCertObjectId, QStringLiteral(KYT_CERTINFO_PLUGIN));
        object_ = registry_.create(kCertObjectId);
    }

    QString selectStore(int selector) { return callByName(object_.get(), "SelectCertificate2", {selector}).toString(); }
    QString info(const QString& part, const QString& field = {}) {
        return callByName(object_.get(), "GetMiscInfo", {part, field}).toString();
    }
    int storeCount() { return callByName(object_.get(), "GetStoreCertCount").toInt(); }

private:
    QTemporaryDir registryDir_;
    ObjectRegistry registry_;
    ObjectRef object_;
};

// Answers the component's chooser once it is on screen; gives up after five seconds.
class ChooserAnswer {
public:
    explicit ChooserAnswer(std::function<void(QDialog*)> answer) : answer_(std::move(answer)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    bool shown() const { return shown_; }

    // Picks `row` and presses OK.
    static void pick(QDialog* dialog, int row) {
        auto* list = dialog->findChild<QTreeWidget*>();
        list->setCurrentItem(list->topLevelItem(row));
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

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

} // namespace kyt::test
