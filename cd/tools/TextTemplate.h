#pragma once

#include <QHash>
#include <QString>

namespace marvek::cdbuilder {

using TemplateValues = QHash<QString, QString>;

// Replaces every "{{name}}" of text by its value. A name without a value is an error (a typo in a
// template must not reach the CD); templateName appears in the message.
QString renderTemplate(const QString& text, const TemplateValues& values, const QString& templateName);

// The page templates of one folder, read once (UTF-8).
class TemplateSet {
public:
    explicit TemplateSet(QString folder);

    QString render(const QString& fileName, const TemplateValues& values) const;

private:
    QString m_folder;
    mutable QHash<QString, QString> m_loaded;
};

// Reads a UTF-8 text file; a missing file is an error.
QString readTextFile(const QString& hostPath);

} // namespace marvek::cdbuilder
