#pragma once
// A notification on the user's desktop through the freedesktop notification service
// (org.freedesktop.Notifications on the session D-Bus). Where there is no session bus (cron, a
// server, a user who is not logged in) or no service on it, nothing is shown and the reason is
// given back. It does not deal with what is told or how often (failure_notice.h).

#include "services/result.h"

#include <QString>

namespace stowix {

// Shows summary and body (plain text) as a critical notification of the application "Stowix";
// the body is escaped where the service reads markup in it.
Status NotifyDesktop(const QString& summary, const QString& body);

}  // namespace stowix
