#include "app/picture_loading.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "receive/event_decoder.h"

namespace {

QString FirstBytes(const QByteArray& bytes) {
    QStringList hex;
    for (int i = 0; i < std::min<qsizetype>(bytes.size(), 8); ++i)
        hex << QStringLiteral("%1")
                   .arg(static_cast<unsigned char>(bytes[i]), 2, 16, QLatin1Char('0'))
                   .toUpper();
    return hex.join(QLatin1Char(' '));
}

QString Size(qint64 bytes) {
    return QLocale(QLocale::English).toString(bytes);
}

}  // namespace

QString PictureName(const std::string& kind, int number) {
    QString name = QString::fromStdString(kind);
    if (number != 0)
        name += QStringLiteral(" id") + QString::number(number);
    return name;
}

void MatchFiledPaths(std::vector<PictureSource>& sources, const std::vector<std::string>& filed) {
    for (PictureSource& source : sources) {
        const std::string ending =
            "_" + source.kind + "_id" + std::to_string(source.number) + ".jpg";
        for (const std::string& path : filed) {
            if (source.number != 0 && path.size() >= ending.size() &&
                path.compare(path.size() - ending.size(), ending.size(), ending) == 0) {
                source.filePath = path;
                break;
            }
        }
    }
}

LoadedPicture LoadPicture(const PictureSource& source, QSize box) {
    LoadedPicture loaded;
    loaded.name = PictureName(source.kind, source.number);
    QByteArray bytes;
    const QString path = QString::fromStdString(source.filePath);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        loaded.filePath = path;
    }
    if (loaded.filePath.isEmpty()) {
        std::string decoded;
        if (!DecodePictureText(source.base64, decoded)) {
            loaded.problem = QStringLiteral("not enough memory to decode it");
            return loaded;
        }
        bytes = QByteArray::fromStdString(decoded);
        if (!path.isEmpty())
            loaded.problem = QStringLiteral("its file is gone; decoded from the log");
    }
    loaded.bytes = bytes.size();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() && box.isValid() &&
        (size.width() > box.width() || size.height() > box.height()))
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
    loaded.image = reader.read();
    if (loaded.image.isNull()) {
        loaded.problem = QStringLiteral("not an image: %1 bytes, beginning %2")
                             .arg(Size(loaded.bytes),
                                  bytes.isEmpty() ? QStringLiteral("(none)") : FirstBytes(bytes));
        return loaded;
    }
    loaded.fullSize = size.isValid() ? size : loaded.image.size();
    return loaded;
}
