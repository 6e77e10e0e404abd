#pragma once

#include "custody/TokenCustody.h"
#include "custody/TokenWithColumn.h"
#include "listing/CertGrid.h"
#include "listing/PrintColumnGrid.h"
#include "platform/FieldValidation.h"
#include "platform/WindowKit.h"
#include "store/CertRows.h"

#include <array>
#include <memory>
#include <optional>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

class ClsMain;

// The register window: the certificate list, the entry frame of one record, the settings frame
// and the print preview frame. Controls carry their register names as object names, arrays as
// "name(index)". Its procedures are spread over the files of src/register and src/listing by
// subject; this header is the window's one declaration.
class frmDscMain : public QWidget {
    Q_OBJECT
public:
    explicit frmDscMain(QWidget* parent = nullptr);
    ~frmDscMain() override;

    // --- Preparation (frmDscMain_InitData.cpp) ---
    void InitData(const std::shared_ptr<ClsMain>& ClsObj, bool CheckOnly);
    // Closes the window, shown or not: runs Form_Unload once and deletes the window later.
    void Unload();

    std::shared_ptr<ClsMain> ClsObj;

    // --- Controls ---
    QLabel* lblhead = nullptr;
    QGroupBox* fammain = nullptr;
    QGroupBox* fammain1 = nullptr;
    QGroupBox* famsett = nullptr;
    QGroupBox* famprev = nullptr;
    std::array<QRadioButton*, 3> options{};
    std::array<QLineEdit*, 2> txtdays{};
    std::array<QLabel*, 16> lblcap{}; // only some indices exist
    QPushButton* cmdok = nullptr;
    CertGrid* vs = nullptr;
    QPushButton* cmdpreview = nullptr;
    QPushButton* cmdsettings = nullptr;
    QPushButton* cmdimportbulk = nullptr;
    QPushButton* cmdreminders = nullptr; // opens the renewal reminder settings
    QPushButton* cmdexport = nullptr;    // writes the list as shown to a CSV file or a workbook
    QLabel* lbllastreminded = nullptr;   // when the shown certificate's holder was last reminded
    std::array<QPushButton*, 3> cmdback{};
    QPushButton* cmdadd = nullptr;
    QPushButton* cmdmodify = nullptr;
    QPushButton* cmddelete = nullptr;
    QPushButton* cmdupdate = nullptr;
    QPushButton* cmdcancel = nullptr;
    QPushButton* cmdhistory = nullptr; // "History...": the current record's history
    QPushButton* cmdundo = nullptr;    // "Undo" (Ctrl+Z): takes back this window's last save or delete
    QPushButton* cmddeleted = nullptr; // "Recently Deleted...": deleted records, to restore
    // Entry frame: txtfields exists for the indices 0, 2, 3, 6, 7, 8, 10 and 13 only.
    std::array<QLineEdit*, 14> txtfields{};
    std::array<QLineEdit*, 2> txtdts{};
    QComboBox* cbodsctype = nullptr;
    QComboBox* cboidproof = nullptr;
    QComboBox* cboaddrproof = nullptr;
    std::array<QPushButton*, 2> cmdcert{};
    QPushButton* cmdIdProof = nullptr;
    QPushButton* cmdIdProofC = nullptr;
    QPushButton* cmdIdProofV = nullptr;
    QPushButton* cmdAddrProof = nullptr;
    QPushButton* cmdAddrProofC = nullptr;
    QPushButton* cmdAddrProofV = nullptr;
    // Settings frame.
    QCheckBox* chkauto = nullptr;
    QPushButton* cmdbackupnow = nullptr; // "Back up now...": the register and its documents in one archive
    // Print preview frame.
    PrintColumnGrid* vsP = nullptr;
    QPushButton* cmdsaveprev = nullptr;
    QPushButton* cmdproceed = nullptr;

    // Renewal desk: the queue's two filters with their day boxes, and the entry form's link line.
    QRadioButton* optdue = nullptr;
    QLineEdit* txtduedays = nullptr;
    QRadioButton* optrecent = nullptr;
    QLineEdit* txtrecentdays = nullptr;
    QLabel* lblrenewal = nullptr;
    QPushButton* cmdrenewal = nullptr;

    // Entry mode was started by "&Add New" (true) or "&Modify" (false).
    bool AddMode = false;

    // A control's Tag: window state kept on controls, as the register keeps it.
    static QString Tag(const QObject* control) { return kyt::tag(control); }
    static void setTag(QObject* control, const QString& tag) { kyt::setTag(control, tag); }

    // --- Modes (frmDscMain_Modes.cpp) ---
    void EnableList(bool Enable);
    void cmdadd_Click();
    void cmdmodify_Click();
    void cmdcancel_Click();
    void cmdimportbulk_Click();
    void Form_KeyPress(int& KeyAscii);
    void Form_Unload();

    // --- Certificate list (frmDscMain_List.cpp) ---
    void LoadGrid();
    void options_Click(int Index);
    void cmdok_Click();
    void txtdays_KeyPress(int Index, int& KeyAscii);
    void txtdays_Validate(int Index, bool& Cancel);
    void vs_AfterRowColChange(int OldRow, int OldCol, int NewRow, int NewCol);

    // Lists the rows of a selection made elsewhere, such as one month of the host's expiry chart,
    // with none of the three options chosen; choosing one goes back to the filters
    // (frmDscMain_View.cpp).
    void ShowSelection(const CertRows::Selection& selection);

    // --- Exporting the list (frmDscMain_Export.cpp) ---
    void cmdexport_Click();

    // --- The list's sort and dragged column widths, kept per user (frmDscMain_View.cpp) ---
    void restoreListView();
    void saveListView();
    // Tints the rows by the "DSCDays" setting as it stands now.
    void applyDaySetting();

    // --- Renewal desk (frmDscMain_Renewal.cpp) ---
    // The queue's filters in a row of their own, under the list's three.
    QLayout* buildRenewalFilters();
    // The entry form's line "Renews Sr. No. M" / "Renewed by Sr. No. N" with its link button.
    void buildRenewalLine(class QGridLayout* grid, int row);
    // Fills the list when a queue filter is chosen; false when another filter is.
    bool LoadRenewalQueue();
    void renewalFilter_Click();
    void reloadRenewalQueue();
    // Coming into a queue from another filter sorts it by Valid To, soonest (or latest expired)
    // first; leaving it gives the other filters back the sort the user had chosen for them.
    void sortQueueOnEntry(bool due);
    void restoreSortOutsideQueue();
    void ShowRenewalLink();
    void cmdrenewal_Click();
    // After a certificate is captured into a new record: offers, once, to fill what the holder's
    // older certificate holds.
    void OfferCarryOver();
    // After record n is saved: the links its holder's other records imply.
    void LinkSavedRecord(int n);

    // --- Settings frame (frmDscMain_SettingsFrame.cpp) ---
    void cmdsettings_Click();
    void chkauto_Click();
    void cmdback_Click(int Index);

    // --- Print preview frame (frmDscMain_PrintPreview.cpp) ---
    void cmdpreview_Click();
    void cmdsaveprev_Click();
    void cmdproceed_Click();
    void vsP_BeforeEdit(int Row, int Col, bool& Cancel);
    void vsP_AfterEdit(int Row, int Col);
    // Wires "&Preview", "&Save Setup", "&Proceed" and the column grid's edits to their handlers.
    void connectPreviewControls();

    // --- Loading a record (frmDscMain_Loading.cpp) ---
    void ClearData();
    void LoadData();

    // --- Type lists (frmDscMain_TypeLists.cpp) ---
    void LoadLists();
    // frmDscMain_LastReminded.cpp
    void addLastRemindedLabel(class QGridLayout* grid, int row, int column);
    void showLastReminded(int row);

    // --- Entry controls: focus, Enter, checks on leaving (frmDscMain_EntryFields.cpp) ---
    // txtdts(0) and txtdts(1) are MaskedDateBox controls (register/MaskedDateBox.h).
    void txtfields_GotFocus(int Index);
    void txtfields_LostFocus(int Index);
    void txtfields_KeyPress(int Index, int& KeyAscii);
    void txtfields_Validate(int Index, bool& Cancel);
    void txtdts_GotFocus(int Index);
    void txtdts_LostFocus(int Index);
    void txtdts_KeyPress(int Index, int& KeyAscii);
    void txtdts_Validate(int Index, bool& Cancel);
    void cbodsctype_KeyPress(int& KeyAscii);
    void cboidproof_KeyPress(int& KeyAscii);
    void cboaddrproof_KeyPress(int& KeyAscii);
    // Puts the checks on leaving a date box and the e-mail box in place (once, by the constructor).
    void watchEntryFields();
    // Hands a focus or key event of an entry control to its handler; true when the event is consumed.
    bool routeEntryEvent(QObject* watched, QEvent* event);

    // --- Certificate capture (frmDscMain_Capture.cpp) ---
    // Index 0 reads a certificate file, index 1 a certificate of the store.
    void cmdcert_Click(int Index);
    // Wires "Certificate (File)" and "Certificate (Store)" to cmdcert_Click.
    void connectCaptureButtons();

    // --- Saving a record (frmDscMain_Save.cpp) ---
    void cmdupdate_Click();
    // Asks before a certificate that has already expired is saved (frmDscMain_ExpiredSave.cpp);
    // false when the user said No.
    bool confirmExpiredSave();
    // Wires "&Update", "&Delete" and the six proof buttons to their handlers.
    void connectRecordButtons();

    // --- Proof documents and deletion (frmDscMain_ProofButtons.cpp, frmDscMain_Proofs.cpp, frmDscMain_Delete.cpp) ---
    enum class ProofKind { Id, Addr };
    // Colours the select button and shows the clear and view buttons by the select button's tag.
    void ApplyProofState(ProofKind kind);
    QPushButton* proofSelectButton(ProofKind kind) const;
    QPushButton* proofClearButton(ProofKind kind) const;
    QPushButton* proofViewButton(ProofKind kind) const;
    void cmdIdProof_Click();
    void cmdAddrProof_Click();
    void cmdIdProofC_Click();
    void cmdAddrProofC_Click();
    void cmdIdProofV_Click();
    void cmdAddrProofV_Click();
    void cmddelete_Click();
    // The document folder of one proof kind for record number n: DocPath/DscDocs/<kind>/n.
    QString proofFolder(ProofKind kind, const QString& n) const;
    // Save steps for one proof kind (frmDscMain_SaveDocuments.cpp). The first says whether the chosen file is
    // missing, after telling the user; the second stores or removes the document of record n.
    bool proofSourceMissing(ProofKind kind, int n);
    void storeProofDocument(ProofKind kind, int n);

    // --- History, recently deleted records and undo (frmDscMain_History.cpp) ---
    void cmdhistory_Click();
    void cmdundo_Click();
    void cmddeleted_Click();
    void cmdbackupnow_Click();
    void connectHistoryControls();
    // Purges the documents of records deleted longer ago than the KeepDeletedDays setting.
    void PurgeDeletedDocuments();
    // The history entry that Undo takes back: the last save or delete of this window (0: none).
    qint64 UndoEntry = 0;
    // Reloads the lists and the grid and makes record n's row current.
    void ReloadAndSelect(int n);

    // --- Where the shown record's token is, and its movements (frmDscMain_Custody.cpp) ---
    QLabel* lbltoken = nullptr;
    QPushButton* cmdhandover = nullptr; // "Hand Over...": the token goes to the holder or another person
    QPushButton* cmdreceive = nullptr;  // "Receive...": the token comes back into the office
    QPushButton* cmdreceipt = nullptr;  // "Print Receipt...": the last movement's receipt, as a PDF
    QCheckBox* chktokenwith = nullptr;  // the list shows its "Token With" column
    // The column's texts for the load about to start, or none when it is not shown; puts the column
    // in the list's view.
    std::optional<custody::TokenWithColumn> startTokenWithColumn();
    void placeTokenWithColumn(const custody::TokenWithColumn& column);
    void chktokenwith_Click();
    QLayout* buildTokenLine();
    void showTokenLine(int row);
    void enableTokenLine(bool listMode);
    void moveToken(custody::Request::Kind kind);
    void tokenMoved(int n);
    void cmdhandover_Click();
    void cmdreceive_Click();
    void cmdreceipt_Click();

Q_SIGNALS:
    void unloaded();

protected:
    void closeEvent(class QCloseEvent* event) override;
    void resizeEvent(class QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildListFrame();
    void buildEntryFrame();
    void buildSettingsFrame();
    void buildPreviewFrame();
    void buildLayout();
    // Sizes the window fixes (days boxes, proof buttons, row height, entry frame width), from the
    // scale factors and the controls' fonts; again after the window is scaled.
    void fitFixedSizes();
    void connectListSignals();
    void applyColours();

    kyt::FieldValidation* validation_ = nullptr;
    QWidget* page_ = nullptr;
    class ListFindBar* findBar_ = nullptr;
    class QTimer* viewSaver_ = nullptr;                 // keeps a dragged width once the dragging pauses
    std::optional<CertRows::Selection> shownSelection_; // listed while no option is chosen
    // The "Token With" column as last read, used again while no desk has recorded a movement since.
    std::optional<custody::TokenWithColumn> tokenWithRead_;
    bool unloaded_ = false;
    int carryOverAskedFor_ = 0; // the older record a carry-over was offered from in this entry
    // The user's sort while a queue is shown in its own order; none once a heading is clicked there.
    std::optional<std::pair<int, Qt::SortOrder>> sortOutsideQueue_;
};
