#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace mrv::notifications {

// The texts a notification's query and messages are written in, and the
// batch the notification server runs for a generic notification. Every
// function throws Failure on a text it cannot read.

// The parameter references "[@" name "@]" of a text, as the items
// "@SYS_NTG_" + name, each once, appended to `found` in order of first
// appearance. A "[@" without a closing "@]" is a Failure.
void collectParameterReferences(const QString &text, QStringList &found);

// The field labels "SELECT(" label ")" of a query, each once, in order of
// first appearance; a label without ")" runs to the end of the text.
QStringList fieldLabels(const QString &query);

// The batch of a generic notification: header lines that declare the
// notification's key, its parameters (read by the company's parameter
// function) and its field labels, then the query with its parameter
// references and labels rewritten so that each selected row becomes a
// result row of SYS_NTT. Parameters must be named by their number and
// labels must hold no single quote: either would otherwise end up as SQL
// of the batch.
QString notificationBatch(const QString &query, qint32 notificationId, const QString &companyCode, bool deleteResults);

// The text with each reference "[@" old "@]" whose key `newKeys` maps
// turned into "[@" new "@]", in one pass: a new key is never mapped again.
QString renumberParameterReferences(const QString &text, const QHash<QString, QString> &newKeys);

// The parameter's key in an item of collectParameterReferences
// ("@SYS_NTG_12" gives "12").
QString parameterKey(const QString &item);

} // namespace mrv::notifications
