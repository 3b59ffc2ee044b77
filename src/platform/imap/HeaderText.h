#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

namespace mrv::imap {

// Header texts as servers pass them on: RFC 2047 encoded words and raw
// UTF-8 (or, failing that, Latin-1) both become proper Unicode.
QString decodeHeaderText(const QByteArray &text);
QString decodeHeaderPhrase(const QByteArray &phrase);
// An RFC 5322 date with its offset kept; invalid when unreadable.
QDateTime decodeHeaderDate(const QByteArray &date);
// The value of one MIME parameter ("filename", "name") among the raw pairs
// of a BODYSTRUCTURE, RFC 2231 continuations and charsets included; empty
// when absent.
QString decodeMimeParameter(const QList<QPair<QByteArray, QByteArray>> &parameters, const QByteArray &name);

} // namespace mrv::imap
