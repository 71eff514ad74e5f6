#include "platform/FileVersion.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>
#include <cstring>

namespace marvek::platform {

namespace {

constexpr qsizetype MarkerSize = 16;
constexpr qsizetype RecordSize = MarkerSize + 8;

// The marker is put together at run time from two pieces, so that this library (linked into every
// program) does not itself carry the 16 marker bytes in one piece and is never taken for a record.
QByteArray marker() {
    QByteArray result("\x7fMVK-");
    result.append("FILEVERSION");
    return result;
}

std::optional<FileVersion> parseRecord(const uchar* record) {
    FileVersion version;
    version.major = qFromLittleEndian<quint16>(record + MarkerSize);
    version.minor = qFromLittleEndian<quint16>(record + MarkerSize + 2);
    version.build = qFromLittleEndian<quint16>(record + MarkerSize + 4);
    version.revision = qFromLittleEndian<quint16>(record + MarkerSize + 6);
    return version;
}

// The first complete record in data, if any.
std::optional<FileVersion> findRecord(const uchar* data, qsizetype size, const QByteArray& needle) {
    const void* found = ::memmem(data, size_t(size), needle.constData(), size_t(needle.size()));
    if (!found)
        return std::nullopt;
    const qsizetype offset = static_cast<const uchar*>(found) - data;
    if (size - offset < RecordSize)
        return std::nullopt;
    return parseRecord(data + offset);
}

// For files that cannot be mapped (pipes, some special files): read in blocks that overlap by one
// record less a byte, so that a record across a block boundary is still found.
std::optional<FileVersion> scanStream(QFile& file, const QByteArray& needle) {
    constexpr qsizetype BlockSize = 1 << 20;
    QByteArray window;
    while (true) {
        const QByteArray block = file.read(BlockSize);
        if (block.isEmpty())
            break;
        window.append(block);
        const auto* data = reinterpret_cast<const uchar*>(window.constData());
        const void* found = ::memmem(data, size_t(window.size()), needle.constData(), size_t(needle.size()));
        if (found) {
            const qsizetype offset = static_cast<const uchar*>(found) - data;
            if (window.size() - offset >= RecordSize)
                return parseRecord(data + offset);
            window = window.mid(offset); // the rest of the record is in the next block
            continue;
        }
        window = window.right(RecordSize - 1);
    }
    return std::nullopt;
}

} // namespace

std::optional<FileVersion> readFileVersion(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray needle = marker();
    const qint64 size = file.size();
    if (size > 0) {
        if (const uchar* data = file.map(0, size)) {
            const auto result = findRecord(data, qsizetype(size), needle);
            file.unmap(const_cast<uchar*>(data));
            return result;
        }
    }
    return scanStream(file, needle);
}

QByteArray fileVersionRecord(const FileVersion& version) {
    QByteArray record = marker();
    for (const quint16 part : {version.major, version.minor, version.build, version.revision}) {
        record.append(char(part & 0xFF));
        record.append(char(part >> 8));
    }
    return record;
}

} // namespace marvek::platform
