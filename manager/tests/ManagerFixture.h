#pragma once

#include "manager/app/ManagerStart.h"
#include "platform/Registry.h"
#include "shared/config/Messages.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace marvek::testing {

// The manager installed in C:\ManualLink with the sample CD's SysDir and a database made from the
// schema and the given rows; the UI answers from a script and the clock is instant.
class ManagerFixture : public ::testing::Test {
protected:
    static inline const QString ProgramFolder = QStringLiteral("C:\\ManualLink");
    static inline const QString DatabasePath = QStringLiteral("C:\\ManualLink\\ManualLink.mdb");

    ManagerFixture() : ctx(base.os()) {}

    void installManager(const QByteArray& rows) {
        QDir().mkpath(temp().host(ProgramFolder));
        ASSERT_EQ(QProcess::execute(QStringLiteral("cp"),
                                    {QStringLiteral("-a"),
                                     QStringLiteral(MARVEK_SAMPLE_CD_DIR "/programs/setup/SysDir"),
                                     temp().host(ProgramFolder)}),
                  0);
        base.os().registry().writeString(platform::HKEY_LOCAL_MACHINE,
                                         QStringLiteral("SOFTWARE\\Marvek\\Scanlux\\ManualLink"),
                                         QStringLiteral("InstallDir"), ProgramFolder);
        ASSERT_TRUE(MakeSchemaDatabase(temp(), DatabasePath, rows));
    }

    TempMachine& temp() { return base.temp(); }
    platform::ScriptedUserInterface& ui() { return base.ui(); }
    QString message(int number) { return shared::GetMessage(ctx.shared, QStringLiteral("MESSAGE"), number); }
    manager::ManagerStartOutcome start() { return manager::StartManager(ctx, ProgramFolder, false); }

    SharedTestContext base;
    manager::ManagerContext ctx;
};

} // namespace marvek::testing
