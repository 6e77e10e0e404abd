#pragma once

#include <QMainWindow>

class HostSession;
class QLabel;
class QPushButton;
class frmDscMain;

// The host application's main window, where a user starts the day: which register is open, how
// many certificates it holds, how many have expired or expire soon (each count opens the register
// on that filter), and the ways in: open the register, import certificates. It also serves the
// "ReloadMenu" operation the register calls when it closes.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(HostSession& session);

    Q_INVOKABLE void ReloadMenu();
    int menuReloads() const { return reloads_; }

    enum class Filter { All, Expired, Expiring };
    // Opens the register window for work (or brings the open one to the front) on a filter.
    void openRegister(Filter filter = Filter::All);
    // Opens the register and, from it, the bulk import wizard.
    void importCertificates();
    // Reads the counts again.
    void refreshCounts();

protected:
    void changeEvent(QEvent* event) override;

private:
    frmDscMain* registerWindow();
    int expiryDays();

    HostSession& session_;
    QLabel* status_;
    QLabel* lblregister_;
    QLabel* lblempty_;
    QPushButton* cmdall_;
    QPushButton* cmdexpired_;
    QPushButton* cmdexpiring_;
    QPushButton* cmdopen_;
    QPushButton* cmdimport_;
    int reloads_ = 0;
};
