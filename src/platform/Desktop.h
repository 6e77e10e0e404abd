#pragma once

#include <QString>
#include <QStringList>

namespace kyt {

// What the desktop does for us: open a document or a web address with its associated program,
// and start a program without waiting for it. Tests substitute a recorder.
class Desktop {
public:
    virtual ~Desktop() = default;
    // False when no program is known to open a document of this type, or none could be started.
    virtual bool openDocument(const QString& path);
    virtual bool openUrl(const QString& url);
    virtual bool startDetached(const QString& program, const QStringList& arguments);
};

class RecordingDesktop : public Desktop {
public:
    bool openDocument(const QString& path) override;
    bool openUrl(const QString& url) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;

    QStringList documents, urls;
    QList<QStringList> started;      // program followed by its arguments
    bool opensDocuments = true;      // when cleared, no program opens any document
    bool runStartedPrograms = false; // when set, started programs really run (detached)
};

} // namespace kyt
