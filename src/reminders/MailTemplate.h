#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The subject and body of a reminder are texts with placeholders in braces, such as
// "Dear {name},". "{{" and "}}" stand for a brace of their own.
namespace MailTemplate {

// The placeholders a template may name.
const QStringList& placeholders();
// Empty when `text` can be filled; otherwise one sentence naming the fault, with `label` (such as
// "Subject") saying which template it is in.
QString check(const QString& label, const QString& text);
// The text with every placeholder replaced by its value. Only for a template that passed check().
QString fill(const QString& text, const QHash<QString, QString>& values);

} // namespace MailTemplate
