#pragma once
// Where users reach the project, as the tips and about boxes show it. The support address is the
// one start-up's notice lines give (shell/program_notices.h); the updates page is named here.

#include "shell/program_notices.h"

#include <QString>

namespace stowix {

inline const QString& SupportAddress = Notices::SupportAddress;
inline const QString UpdatesAddress = QStringLiteral("https://stowix.org/updates");

}  // namespace stowix
