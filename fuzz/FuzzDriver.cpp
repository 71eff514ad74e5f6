// Runs a fuzz harness once over every file named on the command line (a folder: every file in it), so
// that the seed corpus is a regression test without libFuzzer.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int runFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           std::size_t(bytes.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int failures = 0;
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                failures += runFile(it.next());
                ++runs;
            }
        } else {
            failures += runFile(path);
            ++runs;
        }
    }
    std::printf("%d inputs run\n", runs);
    return failures == 0 && runs > 0 ? 0 : 1;
}
