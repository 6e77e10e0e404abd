#pragma once

#include <QString>
#include <QStringList>

namespace kyt {

// What the desktop does for us: open a document or a web address with its associated program,
// and start a program without waiting for it. Tests substitute their own.
class Desktop {
public:
    virtual ~Desktop() = default;
    // False when no program is known to open a document of this type, or none could be started.
    virtual bool openDocument(const QString& path);
    virtual bool openUrl(const QString& url);
    virtual bool startDetached(const QString& program, const QStringList& arguments);
};

} // namespace kyt
