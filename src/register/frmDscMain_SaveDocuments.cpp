#include "component/ClsMain.h"
#include "platform/Clock.h"
#include "register/frmDscMain.h"
#include "register/ProofTexts.h"
#include "store/DeletedRecords.h"
#include "store/DocumentFiles.h"

#include <QFile>

namespace {
const QString kModule = QStringLiteral("frmDscMain");
const QString kProcedure = QStringLiteral("CMDUPDATE_CLICK");
} // namespace

bool frmDscMain::proofSourceMissing(ProofKind kind, int n) {
    const QString source = Tag(proofClearButton(kind));
    if (source.isEmpty())
        return false;
    const QString target = proofFolder(kind, QString::number(n)) + QLatin1Char('/') + Tag(proofSelectButton(kind));
    // The document already stored for this record is where it should be; it is not looked for.
    if (DocumentFiles::samePath(source, target) || DocumentFiles::fileExists(source))
        return false;
    kyt::ErrorTrap trap(ClsObj.get(), kModule, kProcedure);
    trap([&] {
        ClsObj->services().dialogs->information(this, proofTexts(kind).saveMissingPrefix + source +
                                                          QStringLiteral("] does not exist."));
    });
    proofSelectButton(kind)->setFocus();
    return true;
}

namespace {
// Whether saving with the chosen document replaces or clears one the record has, or writes over a file.
bool replacesDocument(const QString& stored, const QString& source, const QString& target) {
    if (source.isEmpty())
        return !stored.isEmpty();
    return !DocumentFiles::samePath(source, target) && (!stored.isEmpty() || DocumentFiles::fileExists(target));
}
} // namespace

QString frmDscMain::replacedDocumentsFolder(int n) {
    if (AddMode)
        return {};
    for (ProofKind kind : {ProofKind::Id, ProofKind::Addr}) {
        const QString stored = vs->TextMatrix(vs->Row(), proofTexts(kind).storedNameColumn);
        const QString target = proofFolder(kind, QString::number(n)) + QLatin1Char('/') + Tag(proofSelectButton(kind));
        if (replacesDocument(stored, Tag(proofClearButton(kind)), target))
            return DeletedRecords::freeKeptName(ClsObj->DocPath, n, ClsObj->services().clock->now());
    }
    return {};
}

void frmDscMain::storeProofDocument(ProofKind kind, int n, const QString& kept) {
    kyt::ErrorTrap trap(ClsObj.get(), kModule, kProcedure);
    const ProofTexts& texts = proofTexts(kind);
    const QString number = QString::number(n);
    // A replaced document goes where the save's history entry says, for an undo to bring back.
    auto keep = [&](const QString& path, bool copy) {
        if (kept.isEmpty()) {
            if (!copy)
                DocumentFiles::deleteFile(path);
        } else {
            DeletedRecords::keepReplaced(ClsObj->DocPath, kept, texts.folder, path, copy);
        }
    };

    // The document the record had before this save, if any.
    QString oldPath;
    if (!AddMode) {
        const QString stored = vs->TextMatrix(vs->Row(), texts.storedNameColumn);
        if (!stored.isEmpty())
            oldPath = proofFolder(kind, number) + QLatin1Char('/') + stored;
    }

    const QString source = Tag(proofClearButton(kind));
    if (source.isEmpty()) {
        trap([&] {
            if (!oldPath.isEmpty() && DocumentFiles::fileExists(oldPath))
                keep(oldPath, false);
        });
        return;
    }

    const QString docs = ClsObj->DocPath + QStringLiteral("/DscDocs");
    const QString kindFolder = docs + QLatin1Char('/') + texts.folder;
    const QString folder = kindFolder + QLatin1Char('/') + number;
    for (const QString& level : {docs, kindFolder, folder})
        trap([&] {
            if (!DocumentFiles::folderExists(level))
                DocumentFiles::makeFolder(level);
        });

    const QString target = folder + QLatin1Char('/') + Tag(proofSelectButton(kind));
    if (DocumentFiles::samePath(source, target))
        return;

    // An existing file is replaced only with the user's consent, and only once a copy of it is kept.
    bool copy = false;
    bool overwrites = false;
    trap([&] {
        overwrites = DocumentFiles::fileExists(target);
        copy = !overwrites || ClsObj->services().dialogs->question(this, texts.overwriteQuestion, kyt::Answer::Yes) ==
                                  kyt::Answer::Yes;
    });
    // A copy that fails leaves the record naming a file its folder lacks: the user is told, and
    // the document it was to replace stays.
    trap.clearLastError();
    if (copy && !trap([&] {
            if (overwrites)
                keep(target, true);
            try {
                DocumentFiles::copyOver(source, target);
            } catch (const kyt::Error&) {
                if (overwrites && !kept.isEmpty())
                    QFile::remove(ClsObj->DocPath + QStringLiteral("/DscDocs/") + kept + QLatin1Char('/') +
                                  texts.folder + QLatin1Char('/') + DocumentFiles::fileName(target));
                throw;
            }
        })) {
        const QString why = trap.lastError().description.simplified();
        trap([&] {
            ClsObj->services().dialogs->information(
                this, texts.saveMissingPrefix + source + QStringLiteral("] could not be stored with the record: ") +
                          why +
                          QStringLiteral(". The record is saved: choose the file again and save once that is "
                                         "mended."));
        });
        return;
    }
    // The replaced document goes whether or not the new one was copied over an existing file,
    // also when its name differs from the new one's in letter case only.
    trap([&] {
        if (!oldPath.isEmpty() && DocumentFiles::fileExists(oldPath) && !DocumentFiles::sameFile(oldPath, target))
            keep(oldPath, false);
    });
}
