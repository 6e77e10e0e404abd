#include "platform/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>

namespace kyt {

namespace {
const QString kDefaultTitle = QStringLiteral("KYTDscMgr");

QMessageBox::StandardButton toButton(Answer a) {
    switch (a) {
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Ok:
        break;
    }
    return QMessageBox::Ok;
}
} // namespace

void QtDialogs::information(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, kDefaultTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtDialogs::informationWithDetail(QWidget* parent, const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Information, kDefaultTitle, text, QMessageBox::Ok, parent);
    box.setDetailedText(detail);
    box.exec();
}

Answer QtDialogs::question(QWidget* parent, const QString& text, Answer defaultButton) {
    QMessageBox box(QMessageBox::Question, kDefaultTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(toButton(defaultButton));
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<QString> QtDialogs::prompt(QWidget* parent, const QString& text, const QString& title, bool masked) {
    bool ok = false;
    const QString value = QInputDialog::getText(parent, title.isEmpty() ? kDefaultTitle : title, text,
                                                masked ? QLineEdit::Password : QLineEdit::Normal, {}, &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

QString& QtDialogs::startFolder(const QString& title) {
    // A kind not used yet starts in the home folder, not wherever another kind was last used.
    QString& folder = lastFolder_[title];
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder;
}

QStringList QtDialogs::openFiles(QWidget* parent, const QString& title, const QString& filter, bool multiple) {
    const QString qtFilter = toQtFilter(filter);
    QString& folder = startFolder(title);
    QStringList chosen;
    if (multiple) {
        chosen = QFileDialog::getOpenFileNames(parent, title, folder, qtFilter);
    } else {
        const QString one = QFileDialog::getOpenFileName(parent, title, folder, qtFilter);
        if (!one.isEmpty())
            chosen << one;
    }
    if (!chosen.isEmpty())
        folder = QFileInfo(chosen.first()).absolutePath();
    return chosen;
}

std::optional<QString> QtDialogs::pickFolder(QWidget* parent, const QString& title) {
    QString& folder = startFolder(title);
    const QString dir = QFileDialog::getExistingDirectory(parent, title, folder);
    if (dir.isEmpty())
        return std::nullopt;
    folder = dir;
    return dir;
}

std::optional<QString> QtDialogs::saveFile(QWidget* parent, const QString& title, const QString& filter,
                                           const QString& suggested) {
    QString& folder = startFolder(title);
    const QString start = folder.isEmpty() ? suggested : QDir(folder).filePath(QFileInfo(suggested).fileName());
    QString selected;
    const QString qtFilter = toQtFilter(filter);
    QString chosen = QFileDialog::getSaveFileName(parent, title, start, qtFilter, &selected);
    if (chosen.isEmpty())
        return std::nullopt;
    chosen = withChosenEnding(chosen, filter, int(qtFilter.split(QStringLiteral(";;")).indexOf(selected)));
    folder = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString Dialogs::withChosenEnding(const QString& path, const QString& filter, int chosen) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    // "*.xlsx" -> ".xlsx"; a pattern such as "*" or "*.*" names no ending.
    const auto endingsOf = [](const QString& patterns) {
        QStringList endings;
        for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString p = pattern.trimmed();
            if (p.startsWith(QLatin1String("*.")) && p.size() > 2 && p.indexOf(QLatin1Char('*'), 1) < 0)
                endings << p.mid(1);
        }
        return endings;
    };
    for (int i = 1; i < parts.size(); i += 2)
        for (const QString& ending : endingsOf(parts[i]))
            if (path.endsWith(ending, Qt::CaseInsensitive))
                return path;
    const QStringList wanted = chosen >= 0 ? endingsOf(parts.value(2 * chosen + 1)) : QStringList();
    // A folder or a device named is left for the caller to refuse.
    const QFileInfo named(path);
    if (wanted.isEmpty() || named.fileName().isEmpty() || (named.exists() && !named.isFile()))
        return path;
    return path + wanted.first();
}

QString QtDialogs::toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns.trimmed() == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        // A description that names its patterns already, "Certificates (*.pfx;*.p12)", would show
        // them twice: the toolkit's own list replaces them.
        static const QRegularExpression namedPatterns(QStringLiteral("\\s*\\([^()]*\\*[^()]*\\)\\s*$"));
        QString description = parts[i];
        description.remove(namedPatterns);
        out << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return out.join(QStringLiteral(";;"));
}

} // namespace kyt
