#pragma once

#include "store/RegisterCounts.h"

#include <optional>
#include <QDateTime>
#include <QMainWindow>

class ExpiryChart;
class BackgroundCounts;
class HostSession;
class QLabel;
class QPushButton;
class frmDscMain;

// The host application's main window, where a user starts the day: which register is open, how
// many certificates it holds, how many have expired or expire soon (each count opens the register
// on that filter), a chart of how many expire in each of the next twelve months (each bar opens the
// register on its rows), and the ways in: open the register, import certificates. It also serves the
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
    // Reads the counts again, in the background; until they come the last ones are shown as such.
    void refreshCounts();
    // Opens the register on the certificates of one bar of the chart: 0 the expired, 1..12 the
    // months.
    void openChartBar(int index);
    // Opens the register on the certificates whose token is out of the office: all of them, or
    // those out for more than the custody days setting.
    void openTokensOut(bool overdueOnly);

protected:
    void changeEvent(QEvent* event) override;

private:
    frmDscMain* registerWindow();
    int expiryDays();
    void countsRead(const RegisterCounts& counts, const QDateTime& at, int days);
    // Shows the last counts read, and whether they are being read again or could not be.
    void showCounts();

    HostSession& session_;
    QLabel* status_;
    QLabel* lblregister_;
    QLabel* lblempty_;
    QPushButton* cmdall_;
    QPushButton* cmdexpired_;
    QPushButton* cmdexpiring_;
    QPushButton* cmdtokensout_;
    QPushButton* cmdtokensoverdue_;
    ExpiryChart* chart_;
    QPushButton* cmdopen_;
    QPushButton* cmdimport_;
    QLabel* lblcountstate_;
    BackgroundCounts* counting_ = nullptr;
    std::optional<RegisterCounts> counts_; // the last counts read, none before the first read
    int countedDays_ = 0;
    QDateTime countedAt_;
    bool lastReadFailed_ = false;
    int reloads_ = 0;
};
