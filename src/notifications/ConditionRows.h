#pragma once

#include <QtGlobal>

namespace mrv {

class clsSYS_NTF;

namespace host {
class ConfigClass;
class Connection;
} // namespace host

namespace notifications {

// Adds the stored conditions of a notification (rows of SYS_NTC) to
// `notification` by level, so that leaves come before the relations that
// join them and receive their keys first. Both throw Failure.
void loadConditions(host::Connection &connection, clsSYS_NTF &notification, qint32 notificationKey);

// Writes every condition in collection order: new ones are inserted and
// receive their stored ID (which rewrites the relations pointing at them
// before those are written), the others updated; then the notification's
// rows that are no longer among them are deleted. config may be null.
void saveConditions(host::Connection &connection, host::ConfigClass *config, clsSYS_NTF &notification,
                    qint32 notificationKey);

} // namespace notifications
} // namespace mrv
