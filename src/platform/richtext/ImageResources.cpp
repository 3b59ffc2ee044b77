#include "platform/richtext/ImageResources.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>

namespace mrv::richtext {

std::optional<EncodedImage> encodedImage(const QVariant &resource, std::initializer_list<QByteArrayView> keptFormats)
{
    QImage image;
    if (resource.typeId() == QMetaType::QByteArray) {
        QByteArray bytes = resource.toByteArray();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QByteArray format = reader.format();
        const QSize size = reader.size();
        if (size.isValid() && std::find(keptFormats.begin(), keptFormats.end(), format) != keptFormats.end())
            return EncodedImage{bytes, format, size};
        image = QImage::fromData(bytes);
    } else if (resource.canConvert<QImage>()) {
        image = resource.value<QImage>();
    }
    if (image.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return EncodedImage{png, "png", image.size()};
}

} // namespace mrv::richtext
