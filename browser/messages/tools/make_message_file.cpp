// Turns a message table kept as UTF-8 text with LF line ends into the form the programs read:
// UTF-16 little-endian with a byte-order mark, lines ending in CR LF.
// Usage: make_message_file <source.txt> <TARGET.TXT>

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source.txt> <TARGET.TXT>\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QString text = QString::fromUtf8(source.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));

    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar ch : std::as_const(text)) {
        const char16_t unit = ch.unicode();
        bytes.append(static_cast<char>(unit & 0xFF));
        bytes.append(static_cast<char>(unit >> 8));
    }
    QSaveFile target(QString::fromLocal8Bit(argv[2]));
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() || !target.commit()) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
