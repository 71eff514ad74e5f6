#pragma once

#include "launcher/AutRunMain.h"
#include "platform/testing/RecordingProgram.h"
#include "platform/testing/TempMachine.h"

#include <gtest/gtest.h>

namespace marvek::testing {

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
