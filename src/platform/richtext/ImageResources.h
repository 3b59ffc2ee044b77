#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QVariant>

#include <initializer_list>
#include <optional>

namespace mrv::richtext {

struct EncodedImage
{
    QByteArray content;
    // As QImageReader names it: "png", "jpeg", ...
    QByteArray format;
    QSize size;
};

// An image resource of a document as encoded bytes: bytes already in one of
// `keptFormats` stay as they are; anything else Qt can read (other formats,
// the QImage the editor inserts) is encoded as PNG.
std::optional<EncodedImage> encodedImage(const QVariant &resource, std::initializer_list<QByteArrayView> keptFormats);

} // namespace mrv::richtext
