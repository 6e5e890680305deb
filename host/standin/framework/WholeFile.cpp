#include "framework/WholeFile.h"

#include <QSaveFile>

namespace standin {

QString ReplaceFileWhole(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    // Unbuffered, every write reaches the disk at once and its failure is the file's error.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return file.errorString();
    const qint64 written = file.write(content);
    if (written != content.size()) {
        const QString reason =
            file.error() != QFileDevice::NoError
                ? file.errorString()
                : QStringLiteral("only %1 of %2 bytes could be written").arg(written).arg(content.size());
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) return file.errorString();
    return {};
}

} // namespace standin
