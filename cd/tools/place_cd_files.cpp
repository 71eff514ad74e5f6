// place_cd_files: puts built programs and files into a sample CD tree made by make_sample_cd.
//   place_cd_files <manuals.json> <CD folder> <list file> <stamp file>
// The list holds one "source TAB path on the CD" per line (paths relative, "/" between folders). Each
// file is copied with its permissions and gets the CD's fixed file time, so the tree stays the same
// from build to build and an installer's date compares with the date of what it installed. The stamp
// lists the paths placed; a path placed before that is no longer listed is removed.
#include "BuildError.h"
#include "Manifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cstdio>

using marvek::cdbuilder::BuildError;

namespace {

struct Placement {
    QString source;
    QString cdPath;
};

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw BuildError(QStringLiteral("cannot read %1").arg(path));
    return QString::fromUtf8(file.readAll());
}

bool isSafeCdPath(const QString& path) {
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\')))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) {
        return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
    });
}

std::vector<Placement> readList(const QString& listFile) {
    std::vector<Placement> placements;
    QSet<QString> seen;
    for (const QString& line : readText(listFile).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != 2 || fields[0].isEmpty() || !isSafeCdPath(fields[1]))
            throw BuildError(QStringLiteral("%1: bad line \"%2\"").arg(listFile, line));
        if (seen.contains(fields[1]))
            throw BuildError(QStringLiteral("%1: \"%2\" is listed twice").arg(listFile, fields[1]));
        seen.insert(fields[1]);
        placements.push_back({fields[0], fields[1]});
    }
    return placements;
}

QStringList readStamp(const QString& stampFile) {
    QFile file(stampFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void place(const Placement& placement, const QString& cdFolder, const QDateTime& fileTime) {
    const QString target = cdFolder + QLatin1Char('/') + placement.cdPath;
    if (!QFileInfo(placement.source).isFile())
        throw BuildError(
            QStringLiteral("%1 (for %2) does not exist").arg(placement.source, placement.cdPath));
    if (!QDir().mkpath(QFileInfo(target).path()))
        throw BuildError(QStringLiteral("cannot create the folder of %1").arg(target));
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(placement.source, partial))
        throw BuildError(QStringLiteral("cannot copy %1 to %2").arg(placement.source, partial));
    QFile copy(partial);
    const bool stamped =
        copy.open(QIODevice::ReadWrite) && copy.setFileTime(fileTime, QFileDevice::FileModificationTime);
    copy.close();
    if (!stamped || (QFileInfo::exists(target) && !QFile::remove(target)) ||
        !QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw BuildError(QStringLiteral("cannot put %1 in place").arg(target));
    }
}

void run(const QString& manifestFile, const QString& cdFolder, const QString& listFile,
         const QString& stampFile) {
    const QDateTime fileTime = marvek::cdbuilder::readManifest(manifestFile).fileTime;
    if (!QFileInfo::exists(cdFolder + QStringLiteral("/.sample-cd")))
        throw BuildError(QStringLiteral("%1 holds no sample CD").arg(cdFolder));
    const std::vector<Placement> placements = readList(listFile);
    QStringList placed;
    for (const Placement& placement : placements)
        placed.append(placement.cdPath);
    for (const QString& old : readStamp(stampFile)) {
        if (!placed.contains(old) && isSafeCdPath(old))
            QFile::remove(cdFolder + QLatin1Char('/') + old);
    }
    for (const Placement& placement : placements)
        place(placement, cdFolder, fileTime);
    placed.sort();
    QSaveFile stamp(stampFile);
    const QByteArray text = placed.join(QLatin1Char('\n')).toUtf8() + '\n';
    if (!stamp.open(QIODevice::WriteOnly) || stamp.write(text) != text.size() || !stamp.commit())
        throw BuildError(QStringLiteral("cannot write %1").arg(stampFile));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <manuals.json> <CD folder> <list file> <stamp file>\n", argv[0]);
        return 2;
    }
    try {
        run(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
            QString::fromLocal8Bit(argv[4]));
    } catch (const BuildError& error) {
        std::fprintf(stderr, "place_cd_files: %s\n", error.what());
        return 1;
    }
    return 0;
}
