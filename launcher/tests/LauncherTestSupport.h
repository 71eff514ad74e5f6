#pragma once

#include "launcher/AutRunMain.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace marvek::testing {

// A stand-in program: a shell script that appends a line to a record file for each run, every argument
// followed by a tab. Pagora's stand-in at its fixed path, and the system web browser's ($BROWSER).
class RecordingProgram {
public:
    RecordingProgram(QString hostPath, QString recordFile)
        : m_path(std::move(hostPath)), m_record(std::move(recordFile)) {}

    bool install() const {
        QFile script(m_path);
        return script.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               script.write("#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\t' \"$a\"; done; echo; } >> '" +
                            QFile::encodeName(m_record) + "'\n") > 0 &&
               script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
    }

    const QString& path() const { return m_path; }

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
    QList<QStringList> waitForRuns(qsizetype count, int timeoutMs = 5000) const {
        const QDeadlineTimer deadline(timeoutMs);
        while (runs().size() < count && !deadline.hasExpired())
            QThread::msleep(20);
        return runs();
    }

private:
    QString m_path;
    QString m_record;
};

// Writes an information-file record line "Aurea,ZVH50,Repair Manual,<key>,<key>,<month>" with CR LF.
inline QByteArray manInfoLine(const char* key, const char* month) {
    return QByteArray("Aurea,ZVH50,Repair Manual,") + key + ',' + key + ',' + month + "\r\n";
}

// The CD in D: both launcher fixtures start from: its start page, its record of the issues, and Pagora's
// program file on the PC.
inline bool prepareCd(const TempMachine& temp) {
    return temp.writeFile(QStringLiteral("D:\\index.html"), "<html></html>") &&
           temp.writeFile(QStringLiteral("D:\\programs\\setup\\man_info_do.ci"),
                          manInfoLine("RM010EN", "2024/03")) &&
           temp.writeFile(QLatin1String(launcher::PagoraPath), "stand-in");
}

} // namespace marvek::testing
