#pragma once

#include "launcher/AutRunMain.h"
#include "platform/testing/TempMachine.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace marvek::testing {

// A stand-in program: a shell script that appends each argument it was given as one line, then a line
// "--", to a record file. Pagora's stand-in at its fixed path, and the system web browser's ($BROWSER).
class RecordingProgram {
public:
    RecordingProgram(QString hostPath, QString recordFile)
        : m_path(std::move(hostPath)), m_record(std::move(recordFile)) {}

    bool install() const {
        QFile script(m_path);
        if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        const QByteArray record = QFile::encodeName(m_record);
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + record +
                     "'; done\necho -- >> '" + record + "'\n");
        script.close();
        return script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
    }

    const QString& path() const { return m_path; }

    // The argument lists of every run so far.
    QList<QStringList> runs() const {
        QFile file(m_record);
        QList<QStringList> result;
        if (!file.open(QIODevice::ReadOnly))
            return result;
        QStringList current;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line == "--") {
                result.append(current);
                current.clear();
            } else if (!line.isEmpty()) {
                current.append(QFile::decodeName(line));
            }
        }
        return result;
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
