#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace marvek::testing {

// A stand-in program: a shell script that appends a line to a record file for each run, every argument
// followed by a tab. Tests put it where a program is looked for (Pagora's path, $BROWSER, ...).
class RecordingProgram {
public:
    RecordingProgram(QString hostPath, QString recordFile)
        : m_path(std::move(hostPath)), m_record(std::move(recordFile)) {}

    bool install() const {
        QDir().mkpath(QFileInfo(m_path).path());
        QFile script(m_path);
        return script.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               script.write("#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\t' \"$a\"; done; echo; } >> '" +
                            QFile::encodeName(m_record) + "'\n") > 0 &&
               script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
    }

    const QString& path() const { return m_path; }
    // Forgets the runs so far.
    void clear() const { QFile::remove(m_record); }

    // The argument lists of every run so far.
    QList<QStringList> runs() const {
        QFile file(m_record);
        QList<QStringList> runs;
        QList<QByteArray> lines =
            file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
        if (!lines.isEmpty())
            lines.removeLast(); // a run still being written
        for (const QByteArray& line : lines)
            runs.append(QFile::decodeName(line).split(u'\t', Qt::SkipEmptyParts));
        return runs;
    }

    // Waits (the program is started without waiting for it) until it has run count times.
    QList<QStringList> waitForRuns(qsizetype count, int timeoutMs = 15000) const {
        const QDeadlineTimer deadline(timeoutMs);
        while (runs().size() < count && !deadline.hasExpired())
            QThread::msleep(20);
        return runs();
    }

private:
    QString m_path;
    QString m_record;
};

} // namespace marvek::testing
