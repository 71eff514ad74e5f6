#include "setup/engine/Extractor.h"

#include "platform/SevenZip.h"

namespace marvek::setup {

QString ExtractorCommandLine(const QString& archivePath, const QString& destinationFolder) {
    return QStringLiteral("x -aoa -hide ") + archivePath + QStringLiteral(" ") + QStringLiteral("\"") +
           destinationFolder + QStringLiteral("\\") + QStringLiteral("\"");
}

qint32 RunExtractor(const shared::SharedContext& ctx, const QString& archivePath,
                    const QString& destinationFolder) {
    QString output;
    return platform::SevenZip(ctx.os.machine(), 0, ExtractorCommandLine(archivePath, destinationFolder),
                              output, 0);
}

} // namespace marvek::setup
