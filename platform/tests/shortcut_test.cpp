#include "TestSupport.h"
#include "platform/Shortcut.h"

#include <QMap>

namespace {

// The keys of a desktop entry, with the string escapes undone.
QMap<QString, QString> readDesktopEntry(const QString& path) {
    const QStringList lines = QString::fromUtf8(readHostFile(path)).split('\n', Qt::SkipEmptyParts);
    QMap<QString, QString> result;
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf('=');
        QString value;
        for (qsizetype i = equals + 1; equals > 0 && i < line.size(); ++i) {
            const QChar c = line[i] == '\\' && i + 1 < line.size() ? line[++i] : QChar();
            value += c.isNull() ? line[i]
                     : c == 's' ? QChar(' ')
                     : c == 'n' ? QChar('\n')
                     : c == 't' ? QChar('\t')
                                : c;
        }
        if (equals > 0)
            result.insert(line.left(equals), value);
    }
    return result;
}

} // namespace

// A program starts directly, a document through the desktop's opener, a batch file through the shell.
TEST(Shortcut, ExecLineFollowsTheKindOfTargetAndTheWindowsPropertiesAreKept) {
    TempMachine temp;
    ASSERT_TRUE(temp.writeFile("C:\\Program Files\\Marvek\\Link\\Mandex.exe", "program"));
    ASSERT_TRUE(temp.writeFile("C:\\Link\\Guide 100%.pdf", "%PDF"));
    ASSERT_TRUE(QDir().mkpath(temp.host("C:\\Desktop")));
    const QString link = temp.host("C:\\Desktop\\Manual Manager.lnk");
    ShortcutProperties props;
    props.targetPath = "C:\\Program Files\\Marvek\\Link\\Mandex.exe";
    props.workingDirectory = "C:\\";
    props.iconLocation = "C:\\Program Files\\Marvek\\Link\\Mandex.exe, 0";
    ASSERT_TRUE(writeShortcut(temp.machine(), link, props));
    auto entry = readDesktopEntry(link);
    EXPECT_EQ(entry.value("Name"), "Manual Manager");
    // Exec quotes the host path, whose blank would otherwise split it.
    EXPECT_EQ(entry.value("Exec"), '"' + temp.host(props.targetPath) + '"');
    EXPECT_EQ(entry.value("Path"), temp.host("C:\\"));
    EXPECT_EQ(entry.value("Icon"), temp.host("C:\\Program Files\\Marvek\\Link\\Mandex.exe"));
    EXPECT_EQ(entry.value("X-Windows-TargetPath"), props.targetPath);
    EXPECT_FALSE(entry.contains("X-Windows-Arguments")); // properties not set stay absent

    const QString document = temp.host("C:\\Desktop\\User Guide.LNK");
    props = {};
    props.targetPath = "C:\\Link\\Guide 100%.pdf";
    props.arguments = "\"C:\\Link\\a b.txt\" /x";
    ASSERT_TRUE(writeShortcut(temp.machine(), document, props));
    entry = readDesktopEntry(document);
    EXPECT_EQ(entry.value("Name"), "User Guide");
    const QString hostTarget = temp.host(props.targetPath).replace("%", "%%");
    EXPECT_EQ(entry.value("Exec"),
              "xdg-open \"" + hostTarget + "\" \"" + temp.host("C:\\Link\\a b.txt") + "\" /x");
    EXPECT_FALSE(entry.contains("Path"));

    props = {};
    props.targetPath = "C:\\SysDir\\RmDir.bat";
    ASSERT_TRUE(writeShortcut(temp.machine(), document, props)); // replaces the older file
    EXPECT_EQ(readDesktopEntry(document).value("Exec"), "/bin/sh " + temp.host("C:\\SysDir\\RmDir.bat"));
    EXPECT_FALSE(writeShortcut(temp.machine(), temp.host("C:\\No Folder\\x.lnk"), props));
}
