#include "host/ConsoleDialogs.h"

void ConsoleDialogs::information(QWidget*, const QString& text) {
    out_ << text << '\n';
    out_.flush();
}

kyt::Answer ConsoleDialogs::question(QWidget*, const QString&, kyt::Answer defaultButton) {
    return defaultButton;
}

std::optional<QString> ConsoleDialogs::prompt(QWidget*, const QString&, const QString&, bool) {
    return std::nullopt;
}

QStringList ConsoleDialogs::openFiles(QWidget*, const QString&, const QString&, bool) {
    return {};
}

std::optional<QString> ConsoleDialogs::pickFolder(QWidget*, const QString&) {
    return std::nullopt;
}
