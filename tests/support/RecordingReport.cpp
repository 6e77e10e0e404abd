// A report component for tests: it records every call made on it, in order, with its arguments,
// and hands the record out through "Calls". Served under the three report identifiers; the
// identifier "Broken.RepView" makes one without "WriteToReport", which fails every row.

#include "platform/PluginAbi.h"

#include <QVariant>
#include <strings.h>

namespace {
class RecordingReport : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool SetCol130 READ flag WRITE setCol130)
    Q_PROPERTY(bool WinModeReport READ flag WRITE setWinMode)
public:
    bool flag() const { return false; }
    void setCol130(bool on) { record("SetCol130", {on}); }
    void setWinMode(bool on) { record("WinModeReport", {on}); }

    Q_INVOKABLE QVariant Calls() const { return calls_; }
    Q_INVOKABLE void NewReport() { record("NewReport", {}); }
    Q_INVOKABLE void PrintText(const QVariant& text) { record("PrintText", {text}); }
    Q_INVOKABLE void createtable(const QVariant& kind, const QVariant& columns) {
        record("createtable", {kind, columns});
    }
    Q_INVOKABLE void ShowReport() { record("ShowReport", {}); }

protected:
    void record(const char* member, QVariantList args) {
        args.prepend(QString::fromLatin1(member));
        calls_ << QVariant(args);
    }

private:
    QVariantList calls_;
};

class FullRecordingReport : public RecordingReport {
    Q_OBJECT
public:
    Q_INVOKABLE void WriteToReport(const QVariant& cells, const QVariant& widths, const QVariant& alignments,
                                   const QVariant& texts1, const QVariant& texts2, const QVariant& flagsA,
                                   const QVariant& flagsB, const QVariant& flagsC, const QVariant& flagsD,
                                   const QVariant& lastFlag) {
        record("WriteToReport", {cells, widths, alignments, texts1, texts2, flagsA, flagsB, flagsC, flagsD, lastFlag});
    }
};

const char* const kIds[] = {"PrjKYTLumen.ClsMain", "PrjLumen.RepView", "PrjQuill.RepView", "Broken.RepView", nullptr};
} // namespace

KYT_PLUGIN_EXPORT QObject* kyt_create_object(const char* progId) {
    if (!progId)
        return nullptr;
    if (strcasecmp(progId, "Broken.RepView") == 0)
        return new RecordingReport;
    for (const char* const* id = kIds; *id; ++id)
        if (strcasecmp(progId, *id) == 0)
            return new FullRecordingReport;
    return nullptr;
}

KYT_PLUGIN_EXPORT const char* const* kyt_object_ids() {
    return kIds;
}

#include "RecordingReport.moc"
