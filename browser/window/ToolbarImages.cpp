#include "ToolbarImages.h"

#include <QFile>

namespace marvek::browser {

namespace {
QString imagePath(const QString& list, const QString& key) {
    return QStringLiteral(":/pagora/%1/%2.png").arg(list, key);
}
} // namespace

QIcon toolbarIcon(const QString& key) {
    if (!QFile::exists(imagePath(QStringLiteral("imgIcon"), key)))
        return {};
    QIcon icon;
    icon.addFile(imagePath(QStringLiteral("imgIcon"), key), {}, QIcon::Normal);
    icon.addFile(imagePath(QStringLiteral("imgHot"), key), {}, QIcon::Active);
    icon.addFile(imagePath(QStringLiteral("imgDisable"), key), {}, QIcon::Disabled);
    return icon;
}

QIcon programImage() {
    return QIcon(QStringLiteral(":/pagora/program.png"));
}

} // namespace marvek::browser
