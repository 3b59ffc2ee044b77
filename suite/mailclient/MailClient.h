#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace mrv::suite {

class SuiteSession;

// MCSTA: the life of a SYS_MCL row. The transport writes 0 and 1; everything
// after belongs to the mail client.
enum MailClientState : qint32 {
    mcsWriting = 0, // the transport is still writing the row and its files: not to be touched
    mcsQueued = 1,  // complete and waiting for its first attempt
    mcsSending = 2, // claimed by one runner, committed before the e-mail is handed to the server
    mcsSent = 3,    // the server accepted it (MCDTS)
    mcsFailed = 4,  // given up: attempts used up, or the e-mail cannot be composed (MCERR)
    mcsRetry = 5,   // the last attempt failed (MCERR); due again at MCNXT
    // Found claimed by a runner that no longer exists: it may have died before,
    // during or after the server took the e-mail, and nothing on our side tells
    // which. Sending it again could deliver it twice, so only a person decides
    // (requeue it by setting MCSTA back to 1).
    mcsUncertain = 6,
};

// What became of one row in a run.
struct MailClientOutcome
{
    qint32 id = 0;
    MailClientState state = mcsQueued;
    QString error;

    // "sent N", "retry N: reason", "failed N: reason", "uncertain N: reason".
    QString line() const;
};

// Sends the queued e-mails of the session's user through the user's account.
//
// Every row is claimed with one conditional UPDATE (1 or 5 and due → 2), so
// that runners working on the same queue at the same time never take the
// same row; the claim and the outcome are each committed on their own, one
// before the hand-off to the server and one right after it.
//
// Configuration: "MAILCLIENT_MAX_ATTEMPTS" (default 5) and
// "MAILCLIENT_RETRY_SECONDS" (default 60, doubled after each failed
// attempt). See docs/transports.md.
class MailClient
{
public:
    explicit MailClient(SuiteSession &session);

    // Marks the user's rows claimed by runners that are gone as uncertain, then
    // sends every due row once. The outcomes in the order of the rows.
    QList<MailClientOutcome> runOnce();

    // This runner, as written to MCOWN: host, process id and a token of its own.
    QString owner() const { return m_owner; }

private:
    QList<MailClientOutcome> markAbandonedClaims();
    QList<qint32> dueRows();
    bool claim(qint32 id);
    MailClientOutcome deliver(qint32 id);
    MailClientOutcome attempt(qint32 id);
    // The files a sending left for this row, once the row needs them no more.
    void removeFiles(qint32 id);
    MailClientOutcome recordSent(qint32 id);
    MailClientOutcome recordFailure(qint32 id, const QString &error, bool final);
    int setting(const QString &key, int defaultValue) const;

    SuiteSession &m_session;
    QString m_user;
    QString m_owner;
};

// Places the mail-client program into a folder under the names the transport
// runs ("MailClient_x86" and "MailClient_x64"), as links to `program`,
// replacing what was there. The paths made. Throws Failure when the program
// is missing or a link cannot be made.
QStringList installMailClient(const QString &program, const QString &folder);

// The mail-client program built beside the running program; empty when none.
QString mailClientProgramBeside();

} // namespace mrv::suite
