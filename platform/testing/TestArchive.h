#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace marvek::testing {

// Writes zip and 7z archives for tests with libarchive's writer, hostile ones included: names are
// written as given ("..", absolute and drive names pass unchanged), links and special files too.
class TestArchive {
public:
    enum class Format { Zip, SevenZip };
    enum class Kind { File, Folder, Symlink, Fifo, CharDevice };

    // Every entry gets this modified time (seconds since the epoch).
    static constexpr qint64 EntryTime = 1700000000;

    TestArchive& file(const QString& name, const QByteArray& data) { return add(Kind::File, name, data); }
    TestArchive& folder(const QString& name) { return add(Kind::Folder, name, {}); }
    TestArchive& symlink(const QString& name, const QString& target) {
        return add(Kind::Symlink, name, target.toUtf8());
    }
    TestArchive& special(Kind kind, const QString& name) { return add(kind, name, {}); }
    // The next file is read-only (no owner write permission).
    TestArchive& readOnlyFile(const QString& name, const QByteArray& data);
    // Zip names are written in this charset ("CP932") without the UTF-8 flag; by default non-ASCII names
    // are UTF-8 with the flag.
    TestArchive& nameCharset(const QByteArray& charset) {
        m_charset = charset;
        return *this;
    }

    // False when libarchive refuses an entry or the file cannot be written.
    bool write(const QString& hostPath, Format format = Format::Zip) const;

private:
    struct Entry {
        Kind kind;
        QString name;
        QByteArray data; // content, or the link target
        bool readOnly = false;
    };
    TestArchive& add(Kind kind, const QString& name, const QByteArray& data) {
        m_entries.push_back({kind, name, data});
        return *this;
    }

    std::vector<Entry> m_entries;
    QByteArray m_charset;
};

} // namespace marvek::testing
