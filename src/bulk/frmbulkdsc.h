#pragma once

#include "bulk/WizardGrid.h"
#include "platform/WindowKit.h"

#include <array>
#include <memory>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

class ClsMain;

namespace bulk {
// The file list's (vs1) columns: number, path, password (typed per file) and kind (hidden).
inline constexpr int kNumberColumn = 0;
inline constexpr int kPathColumn = 1;
inline constexpr int kPasswordColumn = 2;
inline constexpr int kKindColumn = 3;
} // namespace bulk

// The bulk import wizard: a file list page (fam1), a progress page (fampg) and a results page
// (fam2), laid over one another with one shown at a time. Controls carry their wizard names as
// object names, arrays as "name(index)". The run flag of a long loop is the progress page's Tag:
// "1" while reading, "2" while importing, "A" and "B" once a stop was asked for.
class frmbulkdsc : public QDialog {
    Q_OBJECT
public:
    explicit frmbulkdsc(QWidget* parent = nullptr);
    ~frmbulkdsc() override;

    // Prepares the window without showing it.
    void InitData(const std::shared_ptr<ClsMain>& ClsObj);

    std::shared_ptr<ClsMain> ClsObj;

    // --- Controls ---
    QGroupBox* fam1 = nullptr;
    QLabel* Label2 = nullptr;
    WizardGrid* vs1 = nullptr;
    QPushButton* cmdfl = nullptr;
    QPushButton* cmdfld = nullptr;
    QPushButton* cmdallcertstore = nullptr;
    QPushButton* cmddelfl = nullptr;
    QPushButton* cmdclear = nullptr;
    QCheckBox* chkcompass = nullptr;
    QCheckBox* chkcarryover = nullptr; // carry over details of renewed certificates
    QLineEdit* txtcompass = nullptr;
    QPushButton* cmdproceed = nullptr;
    QPushButton* cmdexit = nullptr;

    QGroupBox* fampg = nullptr;
    QLabel* lblpb = nullptr;
    QProgressBar* pb = nullptr;
    QPushButton* cmdstop = nullptr;

    QGroupBox* fam2 = nullptr;
    WizardGrid* vs2 = nullptr;
    QComboBox* cbodsctype = nullptr;
    QComboBox* cboidproof = nullptr;
    QComboBox* cboaddrproof = nullptr;
    std::array<QLabel*, 3> lblcap{};
    QPushButton* cmdconvert = nullptr;
    QPushButton* cmdback = nullptr;

    static QString Tag(const QObject* control) { return kyt::tag(control); }
    static void setTag(QObject* control, const QString& tag) { kyt::setTag(control, tag); }

    // --- File list page (frmbulkdsc_FileList.cpp) ---
    void cmdfl_Click();
    void cmdfld_Click();
    void cmdallcertstore_Click();
    void cmddelfl_Click();
    void cmdclear_Click();
    void chkcompass_Click();
    void vs1_BeforeEdit(int Row, int Col, bool& Cancel);
    void vs1_AfterRowColChange(int OldRow, int OldCol, int NewRow, int NewCol);

    // --- Pages and Escape (frmbulkdsc.cpp) ---
    void cmdexit_Click();
    void cmdback_Click();
    void cmdstop_Click();
    void Form_KeyPress(int& KeyAscii);
    void Form_Unload();
    void cbodsctype_KeyPress(int& KeyAscii);
    void cboidproof_KeyPress(int& KeyAscii);
    void cboaddrproof_KeyPress(int& KeyAscii);

    // --- Reading (frmbulkdsc_Reading.cpp) ---
    void cmdproceed_Click();

    // --- Importing (frmbulkdsc_Import.cpp) ---
    void cmdconvert_Click();

protected:
    void closeEvent(class QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFileListPage();
    void buildProgressPage();
    void buildResultsPage();
    void connectControls();
    void applyColours();
    // Shows one page and hides the others.
    void showPage(QGroupBox* page);
    // Appends an entry to the file list: its path or store name, and its kind.
    void appendEntry(const QString& name, const QString& kind);
    // Starts a long run on the progress page with `total` steps and the run flag `flag`.
    void startRun(int total, const QString& flag);
    // One step of a run: the progress bar and text, then pending window events. False when a stop
    // was asked for before this step.
    bool runStep(int step, const QString& text, const QString& flag);

    void GetFileInfo();
    void LoadLists();
    void ImportDetails();
    // Says "N Records Transferred." with what became of the other rows, and tints the rows not
    // imported (frmbulkdsc_Outcome.cpp).
    void showImportOutcome(int count);
};
