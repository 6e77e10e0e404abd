#include "component/Module1.h"

void WriteTableRow(QVariantList& cells, QVariantList& widths, QVariantList& alignments, QStringList& texts1,
                   QStringList& texts2, bool& lastFlag, QString& flagsA, QString& flagsB, QString& flagsC,
                   QString& flagsD) {
    kyt::callByName(ReportObj().get(), "WriteToReport",
                    {QVariant(cells), QVariant(widths), QVariant(alignments), QVariant(texts1), QVariant(texts2),
                     QVariant(flagsA), QVariant(flagsB), QVariant(flagsC), QVariant(flagsD), QVariant(lastFlag)});
}
