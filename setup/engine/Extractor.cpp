#include "setup/engine/Extractor.h"

#include <QProcess>

namespace marvek::setup {

// Stand-in until the archiver lands: bsdtar into the destination.
qint32 RunExtractor(const shared::SharedContext& ctx, const QString& archivePath,
                    const QString& destinationFolder) {
    QProcess tar;
    tar.start(QStringLiteral("bsdtar"), {QStringLiteral("-xf"), ctx.os.machine().toHost(archivePath),
                                         QStringLiteral("-C"), ctx.os.machine().toHost(destinationFolder)});
    tar.waitForFinished(-1);
    return tar.exitStatus() == QProcess::NormalExit ? tar.exitCode() : -1;
}

} // namespace marvek::setup
