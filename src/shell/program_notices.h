#pragma once
// The notice lines that start-up puts under the program's name, and the address they send users
// to for support. One constant each, so that every box that names the address names the same.

#include <QString>

namespace stowix {

namespace Notices {
inline const QString Ownership = QStringLiteral("Copyright (c) 1999-2026 the Stowix developers");
inline const QString Rights = QStringLiteral("All rights reserved.");
inline const QString SupportAddress = QStringLiteral("support@stowix.example");
inline const QString Support = QStringLiteral("For technical support, write to ") + SupportAddress;
}  // namespace Notices

}  // namespace stowix
