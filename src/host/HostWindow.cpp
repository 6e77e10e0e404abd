#include "host/HostWindow.h"

#include "host/HostSession.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

HostWindow::HostWindow(HostSession& session) : session_(session), status_(new QLabel(this)) {
    setObjectName(QStringLiteral("HostWindow"));
    setWindowTitle(QStringLiteral("KYTDscMgr host - %1").arg(session.folder()));
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Register"));
    QAction* open = menu->addAction(QStringLiteral("Digital Signature Certificate -> Manager"));
    open->setObjectName(QStringLiteral("actOpenRegister"));
    connect(open, &QAction::triggered, this, &HostWindow::openRegister);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("E&xit")), &QAction::triggered, this, &QWidget::close);
    auto* info = new QLabel(QStringLiteral("Folder: %1\nDatabase: %2")
                                .arg(session.folder(), session.db() ? session.db()->driverName() : QString()),
                            this);
    info->setAlignment(Qt::AlignCenter);
    setCentralWidget(info);
    statusBar()->addWidget(status_);
    resize(640, 400);
}

void HostWindow::openRegister() {
    // One register window at a time: a second one would show a list that the first one's saves
    // leave behind. An open one is brought to the front instead.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("frmDscMain") && window->isVisible()) {
            window->raise();
            window->activateWindow();
            return;
        }
    if (session_.initMe(false)) {
        // The host sets its main window object once the register is open.
        session_.component()->MdiObj = kyt::ObjectRef(this, [](QObject*) {});
    }
}

void HostWindow::ReloadMenu() {
    ++reloads_;
    status_->setText(QStringLiteral("Register closed."));
}
