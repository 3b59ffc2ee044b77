#pragma once

#include <QDate>
#include <QString>

namespace mrv {

// The task boxes of the message window and how they move together: the
// status list, the start and finish dates, the completion slider.
struct TaskPanel
{
    static constexpr qint32 kCompletionMaximum = 100;

    qint32 status = 0;     // mrv_eTaskStatus, the index of the status list
    QString assignedBy;    // txtTask(0)
    QDate created;         // txtTask(1)
    QDate due;             // txtTask(2), TKDTS
    QDate started;         // txtTask(3), TKDTI
    QDate finished;        // txtTask(4), TKDTF
    qint32 completion = 0; // the slider, TKCPL
    bool datesEnabled = true;
    bool notifyMe = false;     // chkCheck, TKNOT of a task being composed
    bool notifyFlag = false;   // TKNOT of the opened task
    bool statusReport = false; // starts as notifyFlag

    // A status chosen in the list.
    void chooseStatus(qint32 newStatus);
    // The slider moved to `value`.
    void setCompletion(qint32 value);
    // The status commands (accept, reject, start, complete, reopen, postpone).
    void accept();
    void reject();
    void start();
    void complete();
    void postpone();
    // A report to the assigner is due with this status.
    bool reportDue() const;
};

} // namespace mrv
