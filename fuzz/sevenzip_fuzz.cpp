// The archiver stand-in on any bytes as its archive: the result is 0 or one of its failure codes, it
// never crashes, and nothing outside the destination folder changes.
#include "platform/Machine.h"
#include "platform/SevenZip.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace marvek::platform;

[[noreturn]] void broken(const char* rule) {
    std::fprintf(stderr, "sevenzip fuzz rule broken: %s\n", rule);
    std::abort();
}

// One machine prefix for the whole run: the archive on C:, the destination beside a file that must stay.
class Prefix {
public:
    Prefix() : m_machine(m_dir.path()) {
        m_machine.ensureLayout();
        QDir().mkpath(m_dir.path() + QStringLiteral("/drives/c/in"));
        QDir().mkpath(m_dir.path() + QStringLiteral("/drives/c/out"));
        write(m_dir.path() + QStringLiteral("/drives/c/out/keep.txt"), "keep");
        // A Japanese machine: names without the UTF-8 flag go through code page 932.
        write(m_machine.machineIniFile(), "[Locale]\nUserDefaultLangID=0411\nSystemDefaultLangID=0411\n");
        m_destination = m_dir.path() + QStringLiteral("/drives/c/out/dest");
    }

    const Machine& machine() const { return m_machine; }
    QString archive() const { return m_dir.path() + QStringLiteral("/drives/c/in/a.zip"); }
    const QString& destination() const { return m_destination; }

    // Every entry of the prefix outside the destination, with the content of each file.
    QHash<QString, QByteArray> outside() const {
        QHash<QString, QByteArray> result;
        for (QDirIterator it(m_dir.path(),
                             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (path == m_destination || path.startsWith(m_destination + u'/'))
                continue;
            QFile file(path);
            result.insert(path, it.fileInfo().isFile() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                                         : QByteArray());
        }
        return result;
    }

    static bool write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }

private:
    QTemporaryDir m_dir;
    Machine m_machine;
    QString m_destination;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Prefix prefix;
    if (!Prefix::write(prefix.archive(), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))))
        broken("the archive can be written");
    QDir(prefix.destination()).removeRecursively();
    const QHash<QString, QByteArray> before = prefix.outside();

    QString output;
    const qint32 result = SevenZip(
        prefix.machine(), 0, QStringLiteral("x -aoa -hide C:\\in\\a.zip \"C:\\out\\dest\\\""), output, 256);
    if (result < sevenzip::Ok || result > sevenzip::TargetExists)
        broken("the result is 0 or a failure code");
    if (result != sevenzip::Ok && output.isEmpty())
        broken("a failure tells its reason");
    if (prefix.outside() != before)
        broken("nothing outside the destination changes");
    return 0;
}
