#pragma once

#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/testing/SharedTestContext.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace marvek::testing {

// A machine with a CD at C:\CD\ and helpers for the two information files. Both module variants are
// tested on it.
class ManInfoTest : public ::testing::Test {
protected:
    ManInfoTest() { t.ctx.UsersGroupName = shared::GetUsersGroupName(); }

    static constexpr auto LocalFile = "C:\\man_info\\man_info_do.ci";
    static constexpr auto CdFile = "C:\\CD\\programs\\setup\\man_info_do.ci";

    // One record: model, classification, manual type, key, Pub_No, issue month.
    static QString record(const QString& key, const QString& month,
                          const QString& model = QStringLiteral("Aurea"),
                          const QString& kubun = QStringLiteral("ZVH50")) {
        return QStringList{model, kubun, QStringLiteral("Repair Manual"), key, key, month}.join(
            QLatin1Char(','));
    }
    // The file bytes of records: CP1252, CR LF after every line.
    static QByteArray catalogue(const QStringList& records) {
        QString text;
        for (const QString& line : records)
            text += line + QStringLiteral("\r\n");
        return platform::encodeCodePage(text, platform::CodePageWestern);
    }

    void writeLocal(const QStringList& records) {
        ASSERT_TRUE(t.temp().writeFile(QLatin1String(LocalFile), catalogue(records)));
    }
    // Writes the CD catalogue and makes a folder on the CD for each key in present.
    void writeCd(const QStringList& records, const QStringList& present = {}) {
        ASSERT_TRUE(t.temp().writeFile(QLatin1String(CdFile), catalogue(records)));
        for (const QString& key : present)
            ASSERT_TRUE(t.os().files().createFolderPath(QStringLiteral("C:\\CD\\") + key));
    }
    QByteArray local() { return t.temp().readFile(QLatin1String(LocalFile)); }
    QByteArray cd() { return t.temp().readFile(QLatin1String(CdFile)); }

    const std::vector<platform::AskedQuestion>& asked() { return t.ui().asked(); }

    SharedTestContext t;
};

} // namespace marvek::testing
