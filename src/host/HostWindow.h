#pragma once

#include <QMainWindow>

class HostSession;
class QLabel;

// The host application's main window: a menu to open the register, and the "ReloadMenu"
// operation the register calls when it closes.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostWindow(HostSession& session);

    Q_INVOKABLE void ReloadMenu();
    int menuReloads() const { return reloads_; }

    // Opens the register window for work.
    void openRegister();

private:
    HostSession& session_;
    QLabel* status_;
    int reloads_ = 0;
};
