#pragma once

#include "ImapError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace mrv::imap {

// One item of a response's data: an atom (numbers and flags are atoms), a
// string (quoted or literal), NIL, or a parenthesised list. NIL and the
// string "NIL" stay apart.
struct ResponseValue
{
    enum class Kind { Atom, String, Nil, List };

    Kind kind = Kind::Nil;
    QByteArray text; // atoms and strings
    QList<ResponseValue> items;

    bool isNil() const { return kind == Kind::Nil; }
    bool isList() const { return kind == Kind::List; }
    bool isString() const { return kind == Kind::String; }
    // An atom spelled so, case aside.
    bool isAtom(QByteArrayView name) const;
    // The text of an atom or a string; empty for NIL and lists.
    QByteArray textOrEmpty() const { return kind == Kind::Atom || kind == Kind::String ? text : QByteArray(); }
    // A number atom no larger than `max`; nullopt for anything else.
    std::optional<quint64> number(quint64 max = 0xFFFFFFFFu) const;
};

// The bracketed code of a status response: "[UIDVALIDITY 3857529045]".
struct ResponseCode
{
    QByteArray name; // upper case; empty when there is none
    QList<ResponseValue> arguments;
};

struct Response
{
    enum class Kind { Continuation, Tagged, Untagged };

    Kind kind = Kind::Untagged;
    QByteArray tag;
    // Upper case: "OK", "NO", "BAD", "BYE", "PREAUTH", "CAPABILITY", "LIST",
    // "STATUS", "FETCH", "EXISTS", "EXPUNGE", "VANISHED"...
    QByteArray keyword;
    // The message number of "* 3 EXISTS", "* 4 FETCH (...)".
    std::optional<quint32> number;
    // Status responses and continuations.
    ResponseCode code;
    QString text;
    // Everything after the keyword of the other responses.
    QList<ResponseValue> values;

    bool isStatus() const;
};

// Parses one complete response as LineAssembler gives it.
Result<Response> parseResponse(QByteArrayView line);

} // namespace mrv::imap
