#pragma once

#include <map>
#include <optional>
#include <QString>
#include <QStringList>

class QWidget;

namespace kyt {

enum class Answer { Ok, Yes, No, Cancel };

// Every message box, question, prompt and file or folder picker of the component goes through
// this service. The production service shows real Qt dialogs; tests answer from a script.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Information icon, OK button, the application's own title.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // The same with a detail text that the user may open under the message, such as why a
    // certificate could not be read; the message itself stays as it is.
    virtual void informationWithDetail(QWidget* parent, const QString& text, const QString& detail) {
        (void)detail;
        information(parent, text);
    }
    // Question icon, Yes and No buttons.
    virtual Answer question(QWidget* parent, const QString& text, Answer defaultButton) = 0;
    // A text prompt; nothing when cancelled. `masked` hides the typed characters.
    virtual std::optional<QString> prompt(QWidget* parent, const QString& text, const QString& title, bool masked) = 0;
    // Open-file dialog with a filter in the "Description|*.a;*.b|..." form. Empty list when cancelled.
    virtual QStringList openFiles(QWidget* parent, const QString& title, const QString& filter, bool multiple) = 0;
    // Folder picker; nothing when cancelled.
    virtual std::optional<QString> pickFolder(QWidget* parent, const QString& title) = 0;
    // Save-file dialog with a filter as for openFiles, starting at `suggested`; nothing when
    // cancelled. Whether to replace an existing file is asked by the dialog itself. A name typed
    // without any of the filter's endings gets the ending of the type chosen in the dialog.
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& title, const QString& filter,
                                            const QString& suggested) {
        (void)parent, (void)title, (void)filter, (void)suggested;
        return std::nullopt;
    }

    // `path` with the ending of the filter's type number `chosen` (from 0) added, unless it ends in
    // one of the endings the filter offers already: "list" with "CSV|*.csv" chosen is "list.csv".
    static QString withChosenEnding(const QString& path, const QString& filter, int chosen);
};

class QtDialogs : public Dialogs {
public:
    void information(QWidget* parent, const QString& text) override;
    void informationWithDetail(QWidget* parent, const QString& text, const QString& detail) override;
    Answer question(QWidget* parent, const QString& text, Answer defaultButton) override;
    std::optional<QString> prompt(QWidget* parent, const QString& text, const QString& title, bool masked) override;
    QStringList openFiles(QWidget* parent, const QString& title, const QString& filter, bool multiple) override;
    std::optional<QString> pickFolder(QWidget* parent, const QString& title) override;
    std::optional<QString> saveFile(QWidget* parent, const QString& title, const QString& filter,
                                    const QString& suggested) override;

    // "Description|*.a;*.b|Other|*.*" -> Qt's "Description (*.a *.b);;Other (*)".
    static QString toQtFilter(const QString& filter);

private:
    QString& startFolder(const QString& title);
    // The folder last used in each kind of file dialog during this run, by the dialog's title.
    std::map<QString, QString> lastFolder_;
};

} // namespace kyt
