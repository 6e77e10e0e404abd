#pragma once

#include "platform/Dialogs.h"

#include <QTextStream>

// Dialogs for the command line: messages and questions are printed; nobody is there to answer, so
// questions are declined (no browser is opened, nothing is overwritten) and prompts and pickers
// are cancelled.
class ConsoleDialogs : public kyt::Dialogs {
public:
    explicit ConsoleDialogs(QTextStream& out) : out_(out) {}

    void information(QWidget* parent, const QString& text) override;
    kyt::Answer question(QWidget* parent, const QString& text, kyt::Answer defaultButton) override;
    std::optional<QString> prompt(QWidget* parent, const QString& text, const QString& title, bool masked) override;
    QStringList openFiles(QWidget* parent, const QString& title, const QString& filter, bool multiple) override;
    std::optional<QString> pickFolder(QWidget* parent, const QString& title) override;

private:
    QTextStream& out_;
};
