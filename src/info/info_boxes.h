#pragma once
// The three boxes of the File and Help menus that only show text: the information box (the
// backup sets last made, restored and deleted, and the current date and time), the tips box and
// the about box. Each waits for OK and changes nothing. It does not deal with the menus
// themselves or with greying them during a backup.

#include "fs/file_system.h"
#include "shell/services.h"

#include <QString>

namespace stowix {

// The information box's text: reads the three Info settings afresh each time, then the date and
// time. Line breaks are carriage returns; each label is followed by a tab.
// files, when given, is read for the sets the box names: one whose record says it is
// incomplete is marked so after its path.
QString InfoText(SettingsStore& settings, System& system, FileSystem* files = nullptr);
QString TipsText();
QString AboutText();

// The commands behind File, Info; Help, Tips; and Help, About Stowix.
void ShowInfo(Services& services);
void ShowTips(Services& services);
void ShowAbout(Services& services);

}  // namespace stowix
