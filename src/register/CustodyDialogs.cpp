#include "register/CustodyDialogs.h"

#include "register/MaskedDateBox.h"

#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
template <class T> T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}
} // namespace

TokenMoveDialog::TokenMoveDialog(Kind kind, const QString& holder, const QString& currentlyWith, const QDateTime& now,
                                 std::function<QString(const custody::Request&)> recordMovement, QWidget* parent)
    : QDialog(parent), kind_(kind), recordMovement_(std::move(recordMovement)) {
    const bool handOver = kind == Kind::HandOver;
    setWindowTitle(handOver ? QStringLiteral("Hand Over Token") : QStringLiteral("Receive Token"));
    txtcustodyname = named(new QLineEdit(this), "txtcustodyname");
    txtcustodyplace = named(new QLineEdit(this), "txtcustodyplace");
    txtcustodynote = named(new QLineEdit(this), "txtcustodynote");
    txtcustodyat = named(new MaskedDateBox(this), "txtcustodyat");
    // The holder is the one a token is most often handed to or taken back from.
    if (!holder.trimmed().isEmpty()) {
        auto* completer = new QCompleter(QStringList{holder.trimmed()}, txtcustodyname);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        txtcustodyname->setCompleter(completer);
    }
    if (!handOver)
        txtcustodyname->setText(currentlyWith);
    shownNow_ = now.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    MaskedDateBox::setDateText(txtcustodyat, shownNow_);
    shownNow_ = txtcustodyat->text();

    auto* form = new QFormLayout;
    form->addRow(handOver ? QStringLiteral("Hand over to") : QStringLiteral("Received from"), txtcustodyname);
    if (!handOver)
        form->addRow(QStringLiteral("Place in the office"), txtcustodyplace);
    else
        txtcustodyplace->hide();
    form->addRow(QStringLiteral("Note"), txtcustodynote);
    form->addRow(QStringLiteral("Date and time"), txtcustodyat);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdcustodyok = named(buttons->button(QDialogButtonBox::Ok), "cmdcustodyok");
    cmdcustodycancel = named(buttons->button(QDialogButtonBox::Cancel), "cmdcustodycancel");
    cmdcustodyok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TokenMoveDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TokenMoveDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    txtcustodyname->setFocus();
    setMinimumWidth(420);
}

void TokenMoveDialog::accept() {
    custody::Request request;
    request.kind = kind_;
    request.name = txtcustodyname->text();
    request.place = txtcustodyplace->text();
    request.note = txtcustodynote->text();
    if (txtcustodyat->text() != shownNow_) {
        const QDateTime at = QDateTime::fromString(txtcustodyat->text(), QStringLiteral("dd/MM/yyyy HH:mm:ss"));
        // An invalid date goes on as one: the recording refuses it with the words it uses for any.
        request.at = at.isValid() ? at : QDateTime();
    }
    if (!recordMovement_)
        return;
    if (!recordMovement_(request).isEmpty()) {
        txtcustodyname->setFocus();
        return;
    }
    Q_EMIT recorded();
    QDialog::accept();
}
