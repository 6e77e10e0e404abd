#include "custody/CustodyReceipt.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "platform/ErrorTrap.h"
#include "platform/ObjectRegistry.h"
#include "platform/ShownText.h"

namespace custody {

namespace {
const QChar kEsc(27);
// Widths in characters of the condensed line of 130, which keeps the receipt on one page.
constexpr int kLabelWidth = 30;
constexpr int kTextWidth = 100;
constexpr int kSignatureWidth = 65;

QString bold(const QString& text) {
    return kEsc + QLatin1Char('E') + text + kEsc + QLatin1Char('F');
}

void row(QObject* report, const QString& label, const QString& text) {
    kyt::callByName(report, "WriteToReport",
                    {QVariantList{label, text}, QVariantList{kLabelWidth, kTextWidth}, QVariantList{0, 0},
                     QStringList(), QStringList(), QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00"),
                     QStringLiteral("00"), false});
}
} // namespace

QString Receipt::title() const {
    return movement.to.isOffice() ? QStringLiteral("Receipt: Signing Token Returned to the Office")
                                  : QStringLiteral("Receipt: Signing Token Handed Over");
}

QList<std::pair<QString, QString>> Receipt::fields() const {
    return {{QStringLiteral("Holder"), holder},
            {QStringLiteral("Certificate"), certificate},
            {QStringLiteral("Serial No."), movement.serialNo.isEmpty() ? serialNo : movement.serialNo},
            {QStringLiteral("Valid"), QStringLiteral("%1 to %2").arg(validFrom, validTo)},
            {QStringLiteral("From"), describe(movement.from, holder)},
            {QStringLiteral("To"), describe(movement.to, holder)},
            {QStringLiteral("Date"), movement.movedAt},
            {QStringLiteral("Note"), movement.note},
            {QStringLiteral("Sr. No."), QString::number(srNo)}};
}

std::optional<Receipt> lastReceipt(kyt::Db& db, int srNo, const QString& practice) {
    const std::optional<Movement> last = lastMovement(db, srNo);
    if (!last)
        return std::nullopt;
    kyt::RowSet rs = db.openRowSet(
        QStringLiteral("Select Nm, Typ, IssAuth, SerialNo, DtFrom, DtTo From DscStore Where SrNo=?"), {srNo});
    if (rs.eof())
        return std::nullopt;
    Receipt r;
    r.practice = practice;
    r.srNo = srNo;
    r.holder = rs.text(0);
    const QString type = rs.text(1), authority = rs.text(2);
    r.certificate = authority.isEmpty() ? type : QStringLiteral("%1, issued by %2").arg(type, authority);
    r.serialNo = rs.text(3);
    r.validFrom = rs.dateText(4);
    r.validTo = rs.dateText(5);
    rs.close();
    r.movement = *last;
    return r;
}

QString writeReceipt(QObject* report, const Receipt& receipt, const QString& pdfFile) {
    if (!report)
        return QStringLiteral("The report component is not available.");
    try {
        kyt::setPropertyByName(report, "SetCol130", true);
        kyt::callByName(report, "NewReport");
        kyt::callByName(report, "PrintText", {QString(QChar(15))}); // condensed from here on
        if (!receipt.practice.trimmed().isEmpty())
            kyt::callByName(report, "PrintText", {bold(shown::visibleControls(receipt.practice.trimmed()))});
        kyt::callByName(report, "PrintText", {bold(receipt.title())});
        kyt::callByName(report, "PrintText", {QStringLiteral(" ")});
        kyt::callByName(report, "createtable", {1, 2});
        for (const auto& [label, text] : receipt.fields())
            row(report, label, shown::visibleControls(text));
        kyt::callByName(report, "PrintText", {QStringLiteral(" ")});
        kyt::callByName(report, "PrintText", {QStringLiteral(" ")});
        kyt::callByName(report, "createtable", {1, 2});
        const QString line(40, QLatin1Char('_'));
        kyt::callByName(report, "WriteToReport",
                        {QVariantList{line, line}, QVariantList{kSignatureWidth, kSignatureWidth}, QVariantList{0, 0},
                         QStringList(), QStringList(), QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00"),
                         QStringLiteral("00"), false});
        kyt::callByName(report, "WriteToReport",
                        {QVariantList{QStringLiteral("Handed over by: ") +
                                          shown::visibleControls(describe(receipt.movement.from, receipt.holder)),
                                      QStringLiteral("Received by: ") +
                                          shown::visibleControls(describe(receipt.movement.to, receipt.holder))},
                         QVariantList{kSignatureWidth, kSignatureWidth}, QVariantList{0, 0}, QStringList(),
                         QStringList(), QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00"),
                         QStringLiteral("00"), false});
        kyt::callByName(report, "SetPdfOutput", {pdfFile});
        kyt::callByName(report, "ShowReport");
        const QString error = kyt::callByName(report, "LastError").toString();
        // Later printouts of the window go to the screen again.
        kyt::callByName(report, "SetPdfOutput", {QString()});
        return error;
    } catch (const kyt::Error& e) {
        kyt::ErrorTrap::silent()([&] { kyt::callByName(report, "SetPdfOutput", {QString()}); });
        return e.record().description;
    }
}

} // namespace custody
