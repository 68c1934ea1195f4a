// Runs a fuzz target over every file of the corpus folders given on the
// command line: the saved corpus becomes a regression test of the normal
// build, without libFuzzer.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTextStream>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    int inputs = 0;
    for (const QString &folder : application.arguments().mid(1)) {
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                return 2;
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                   size_t(bytes.size()));
            ++inputs;
        }
    }
    QTextStream(stdout) << inputs << " inputs replayed\n";
    return inputs > 0 ? 0 : 1;
}
