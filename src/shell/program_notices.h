#pragma once
// The notice lines that start-up puts under the program's name, and the address they send users
// to for support: the one place that names it, which the tips box shows too (info/contacts.h).

#include <QString>

namespace stowix {

namespace Notices {
inline const QString Ownership = QStringLiteral("Copyright (c) 1999-2026 the Stowix developers");
inline const QString Rights = QStringLiteral("All rights reserved.");
inline const QString SupportAddress = QStringLiteral("support@stowix.org");
inline const QString Support = QStringLiteral("For technical support, write to ") + SupportAddress;
}  // namespace Notices

}  // namespace stowix
