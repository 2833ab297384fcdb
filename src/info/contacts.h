#pragma once
// Where users reach the project: the one place that names its support address and its updates
// page, which the tips and about boxes show.

#include <QString>

namespace stowix {

inline const QString SupportAddress = QStringLiteral("support@stowix.org");
inline const QString UpdatesAddress = QStringLiteral("https://stowix.org/updates");

}  // namespace stowix
