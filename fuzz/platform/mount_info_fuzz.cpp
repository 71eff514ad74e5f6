// The mountinfo parser on any text. Checked: every mount has an absolute mount point and no more mounts
// come out than there are lines; the mounts written back as mountinfo lines (blanks, tabs, line feeds and
// backslashes escaped as the kernel does) parse to the same mounts.

#include "fuzz/FuzzCheck.h"
#include "platform/MediaDrives.h"

#include <QFile>
#include <cstddef>
#include <cstdint>

using marvek::platform::MountEntry;
using marvek::platform::parseMountInfo;

namespace {

QByteArray escaped(const QString& field) {
    QByteArray out;
    for (const char c : QFile::encodeName(field)) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\')
            out += '\\' + QByteArray::number(static_cast<uchar>(c), 8).rightJustified(3, '0');
        else
            out += c;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = marvek::fuzz::bytes(data, size);
    const QList<MountEntry> mounts = parseMountInfo(text);
    MARVEK_FUZZ_CHECK(mounts.size() <= text.count('\n') + 1);
    QByteArray written;
    for (const MountEntry& mount : mounts) {
        MARVEK_FUZZ_CHECK(mount.mountPoint.startsWith(u'/'));
        MARVEK_FUZZ_CHECK(!mount.type.isEmpty());
        written += "1 0 0:1 / " + escaped(mount.mountPoint) + " rw shared:1 - " + escaped(mount.type) +
                   " source rw\n";
    }
    MARVEK_FUZZ_CHECK(parseMountInfo(written) == mounts);
    return 0;
}
