// The sample CD as an ISO 9660 image (the sample_cd_image target): every file and folder of the CD
// tree is in it under its exact name, with its data, through Rock Ridge (with the execute bits the
// programs need) and through Joliet (as Windows reads it); the volume label is set. And the image
// writer's refusals.
#include "cd/tools/BuildError.h"
#include "cd/tools/CdImage.h"
#include "platform/testing/BuildPath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

using marvek::testing::BuildPath;

namespace {

const QString CdFolder = BuildPath("MARVEK_SAMPLE_CD_DIR");
const QString CdImage = BuildPath("MARVEK_SAMPLE_CD_IMAGE");

struct Entry {
    bool folder = false;
    bool executable = false;
    QByteArray hash;
    friend bool operator==(const Entry&, const Entry&) = default;
};
using Listing = QMap<QString, Entry>;

void PrintTo(const Entry& entry, std::ostream* out) {
    *out << (entry.folder ? "folder" : "file") << (entry.executable ? " x " : " - ")
         << entry.hash.toHex().left(8).constData();
}

QByteArray hashOf(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

// The CD tree as it lies in the build: the builder's marker is no file of the CD.
Listing treeListing(const QString& top) {
    Listing listing;
    QDirIterator it(top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = info.filePath().mid(top.size() + 1);
        if (name == u".sample-cd")
            continue;
        Entry entry{info.isDir(), info.isDir() || info.permissions().testFlag(QFile::ExeOwner), {}};
        if (!entry.folder) {
            QFile file(info.filePath());
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
            entry.hash = hashOf(file.readAll());
        }
        listing.insert(name, entry);
    }
    return listing;
}

struct ReadDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};

// The image as libarchive reads it with the given reader options ("!joliet": the Rock Ridge names and
// modes; "!rockridge": the Joliet names). keepModes: report execute bits (only Rock Ridge has them).
Listing imageListing(const char* options, bool keepModes) {
    Listing listing;
    std::unique_ptr<archive, ReadDeleter> reader(archive_read_new());
    archive_read_support_format_iso9660(reader.get());
    EXPECT_EQ(archive_read_set_options(reader.get(), options), ARCHIVE_OK);
    if (archive_read_open_filename(reader.get(), QFile::encodeName(CdImage).constData(), 1 << 16) !=
        ARCHIVE_OK) {
        ADD_FAILURE() << archive_error_string(reader.get());
        return listing;
    }
    archive_entry* header = nullptr;
    while (archive_read_next_header(reader.get(), &header) == ARCHIVE_OK) {
        const char* utf8 = archive_entry_pathname_utf8(header);
        QString name = QString::fromUtf8(utf8 ? utf8 : archive_entry_pathname(header));
        while (name.endsWith(u'/'))
            name.chop(1);
        if (name == u"." || name.isEmpty())
            continue; // the root folder
        Entry entry;
        entry.folder = archive_entry_filetype(header) == AE_IFDIR;
        entry.executable = entry.folder || (keepModes && (archive_entry_perm(header) & 0111) != 0);
        if (!entry.folder) {
            QByteArray data;
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            while (archive_read_data_block(reader.get(), &block, &size, &offset) == ARCHIVE_OK)
                data.append(static_cast<const char*>(block), static_cast<qsizetype>(size));
            entry.hash = hashOf(data);
        }
        listing.insert(name, entry);
    }
    return listing;
}

// The volume labels of the primary and the Joliet volume descriptors.
std::pair<QString, QString> volumeLabels(const QString& image) {
    QFile file(image);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString primary;
    QString joliet;
    for (qint64 sector = 16; sector < 32; ++sector) {
        file.seek(sector * 2048);
        const QByteArray descriptor = file.read(2048);
        if (descriptor.size() < 2048 || descriptor.mid(1, 5) != "CD001" || descriptor.at(0) == '\xff')
            break;
        const QByteArray id = descriptor.mid(40, 32);
        if (descriptor.at(0) == 1)
            primary = QString::fromLatin1(id).trimmed();
        if (descriptor.at(0) == 2 && descriptor.mid(88, 2) == "%/") { // Joliet: UCS-2, big-endian
            QString text;
            for (qsizetype i = 0; i + 1 < id.size(); i += 2)
                text += QChar(
                    static_cast<char16_t>((static_cast<uchar>(id[i]) << 8) | static_cast<uchar>(id[i + 1])));
            joliet = text.trimmed();
        }
    }
    return {primary, joliet};
}

TEST(CdImage, HoldsEveryFileOfTheCdWithItsNameDataAndExecuteBits) {
    const Listing tree = treeListing(CdFolder);
    ASSERT_GT(tree.size(), 800);
    // The programs a desktop starts from the CD, and names whose case matters.
    for (const char* name : {"Cdlaunch.exe", "autorun.sh", "programs/setup/setup.exe"})
        ASSERT_TRUE(tree.value(QString::fromLatin1(name)).executable) << name;
    for (const char* name : {"autorun.inf", "index.html", "programs/setup/SysDir/SysParameter.ini",
                             "MandexGuide_E.pdf", "RM010EN/install/condense/manual.zip"})
        ASSERT_TRUE(tree.contains(QString::fromLatin1(name))) << name;

    EXPECT_EQ(imageListing("iso9660:!joliet", true), tree);
    // Joliet keeps names and case but knows no modes.
    Listing withoutModes = tree;
    for (Entry& entry : withoutModes)
        entry.executable = entry.folder;
    EXPECT_EQ(imageListing("iso9660:!rockridge", false), withoutModes);
    EXPECT_EQ(volumeLabels(CdImage),
              std::make_pair(QStringLiteral("MARVEK_SMCD"), QStringLiteral("MARVEK_SMCD")));
}

TEST(CdImage, RefusesBadLabelsAndSpecialFilesAndLeavesNoImage) {
    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    const QString image = dir.filePath(QStringLiteral("cd.iso"));
    ASSERT_TRUE(QDir().mkpath(tree + QStringLiteral("/Sub")));
    QFile file(tree + QStringLiteral("/Sub/Read Me.TXT"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("text") == 4);
    file.close();

    for (const char* label : {"", "lower", "WITH BLANK", "ÄRGER", "A23456789012345678901234567890123"}) {
        EXPECT_THROW(marvek::cdbuilder::writeCdImage(tree, image, QString::fromUtf8(label)),
                     marvek::cdbuilder::BuildError)
            << label;
        EXPECT_FALSE(QFileInfo::exists(image));
    }
    EXPECT_THROW(
        marvek::cdbuilder::writeCdImage(dir.filePath(QStringLiteral("none")), image, QStringLiteral("CD")),
        marvek::cdbuilder::BuildError);

    ASSERT_TRUE(QFile::link(QStringLiteral("Sub"), tree + QStringLiteral("/link")));
    EXPECT_THROW(marvek::cdbuilder::writeCdImage(tree, image, QStringLiteral("CD")),
                 marvek::cdbuilder::BuildError);
    EXPECT_FALSE(QFileInfo::exists(image));

    ASSERT_TRUE(QFile::remove(tree + QStringLiteral("/link")));
    marvek::cdbuilder::writeCdImage(tree, image, QStringLiteral("CD"));
    EXPECT_EQ(volumeLabels(image).first, QStringLiteral("CD"));
}

} // namespace
