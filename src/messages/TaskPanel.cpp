#include "TaskPanel.h"

#include "facade/Types.h"

namespace mrv {

void TaskPanel::chooseStatus(qint32 newStatus)
{
    status = newStatus;
    if (newStatus == tksUnknown || newStatus == tksRejected)
        datesEnabled = false;
    else if (newStatus != tksWaiting)
        datesEnabled = true;
}

void TaskPanel::setCompletion(qint32 value)
{
    completion = qBound(0, value, kCompletionMaximum);
    if (completion == kCompletionMaximum) {
        complete();
        return;
    }
    chooseStatus(tksInProgress);
    finished = QDate();
}

void TaskPanel::accept()
{
    chooseStatus(tksAccepted);
    started = QDate();
    finished = QDate();
}

void TaskPanel::reject()
{
    chooseStatus(tksRejected);
    started = QDate();
    finished = QDate();
    completion = 0;
}

void TaskPanel::start()
{
    chooseStatus(tksInProgress);
    started = QDate::currentDate();
    finished = QDate();
}

void TaskPanel::complete()
{
    chooseStatus(tksCompleted);
    if (!started.isValid())
        started = QDate::currentDate();
    finished = QDate::currentDate();
    completion = kCompletionMaximum;
}

void TaskPanel::postpone()
{
    chooseStatus(tksPostponed);
}

bool TaskPanel::reportDue() const
{
    return statusReport || (notifyFlag && (status == tksAccepted || status == tksCompleted || status == tksRejected));
}

} // namespace mrv
