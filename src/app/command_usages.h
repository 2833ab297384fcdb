#pragma once
// What each command says of itself for --help and after a command line it cannot take: its
// synopsis and a few lines on what it does. The manual pages (doc/man/) tell the whole story;
// these texts stay short enough for a terminal.

#include "app/standard_options.h"

namespace stowix {

inline constexpr CommandUsage StowixUsage{
    .name = "stowix",
    .synopsis =
        "Usage: stowix [/U] [/I] [DRIVE]\n"
        "Saves and restores the configuration of a Windows 95/98 drive: its registry, the\n"
        "start-up files of C:\\ and the configuration files of the Windows folder, as backup\n"
        "sets in C:\\Stowix. Without a switch it opens its window. DRIVE is drive C: (a\n"
        "folder, a Wine prefix or its drive_c, a disk image, a block device), as --drive.\n",
    .options =
        "  /U         make one backup without a window, then end (for cron and timers)\n"
        "  /I         do not show the window before start-up has finished\n",
    .notes =
        "The switches count only as whole arguments, in either case. Drive C: is the drive\n"
        "named on the command line, else STOWIX_DRIVE_C, else $WINEPREFIX/drive_c, else the\n"
        "drive last chosen in the window, else ~/.wine/drive_c; without one the window\n"
        "offers the drives it finds.\n"
        "Exit status: 0 done; 1 cannot run here (no display), or an unknown option; 2 no\n"
        "drive C: or no Windows folder; 3 incomplete; 4 a registry file of the set is\n"
        "damaged; 5 another copy is running (with /U), or works in a drive's image.\n",
    .notesNameDrive = true,
};

inline constexpr CommandUsage BootUsage{
    .name = "stowix-boot",
    .synopsis =
        "Usage: stowix-boot\n"
        "Runs the boot script WinStart.Bat of the Windows folder on drive C:, as the next\n"
        "start of Windows 95/98 would: after a restore, it puts the restored registry in\n"
        "place. Run it before the virtual machine or emulator starts.\n",
    .options = "",
    .notes =
        "The Windows folder is STOWIX_WINDOWS_FOLDER, else the folder WINDOWS in the root of\n"
        "C:.\n",
};

inline constexpr CommandUsage DirUsage{
    .name = "stowix-dir",
    .synopsis =
        "Usage: stowix-dir FOLDER\n"
        "Lists the files of a folder of the Windows drive with their DOS attributes as Stowix\n"
        "sees them: A archive, S system, H hidden, R read-only. FOLDER is a DOS path, such as\n"
        "C:\\WINDOWS or \"C:\\Stowix\\11-5-99 3;45;12 PM\" (quoted for the shell).\n",
    .options = "",
    .notes = "",
};

inline constexpr CommandUsage CheckUsage{
    .name = "stowix-check",
    .synopsis =
        "Usage: stowix-check [SET ...]\n"
        "Checks backup sets in C:\\Stowix, all of them or those named (by folder name, or as a\n"
        "DOS path such as \"C:\\Stowix\\11-5-99 3;45;12 PM\"): every file of a set can be read,\n"
        "and SYSTEM.DAT and USER.DAT are there and sound, every key and value read. One line\n"
        "per set.\n",
    .options = "",
    .notes =
        "Exit status: 0 every set is sound; 1 a set is damaged; 2 trouble: a command line it\n"
        "does not take, no drive C:, no such set, or a check that could not run; 5 another\n"
        "copy of Stowix works in a drive's image.\n",
    .usageStatus = 2,
};

inline constexpr const char* DiffOwnOptions[] = {"--json", "--same"};

inline constexpr CommandUsage DiffUsage{
    .name = "stowix-diff",
    .synopsis =
        "Usage: stowix-diff [--json] [-s] SET [SET2]\n"
        "Shows what changed on drive C: since a backup set was made, or what differs between\n"
        "two sets (SET the older), file by file, with the keys of INI files and of the\n"
        "registry. A set is a DOS path such as \"C:\\Stowix\\11-5-99 3;45;12 PM\" (quoted for\n"
        "the shell) or a set's folder name alone.\n",
    .options =
        "  --json     write the comparison as JSON, for scripts\n"
        "  -s, --same list the files that are the same too\n",
    .notes =
        "Exit status: 0 nothing differs, 1 something differs, 2 trouble (as diff's); 5\n"
        "another copy of Stowix works in a drive's image.\n"
        "The Windows folder is STOWIX_WINDOWS_FOLDER, else the folder WINDOWS in the root of\n"
        "C:.\n",
    .usageStatus = 2,
    .ownOptions = DiffOwnOptions,
};

inline constexpr CommandUsage UnattendedUsage{
    .name = "stowix-unattended",
    .synopsis =
        "Usage: stowix-unattended\n"
        "What the daily backup's systemd service runs: one backup (stowix /U), then, after a\n"
        "complete one, stowix-prune with the rules in STOWIX_PRUNE. A run that fails is told\n"
        "in the journal and, on a desktop, in a notification.\n",
    .options = "",
    .notes =
        "STOWIX_BACKUP_NAME names the backup in notices. The exit status is stowix's, or\n"
        "stowix-prune's when the backup was complete and the prune failed.\n",
};

inline constexpr const char* PruneOwnOptions[] = {"--keep-last", "--keep-daily", "--keep-weekly",
                                                  "--keep-monthly", "--dry-run"};

inline constexpr CommandUsage PruneUsage{
    .name = "stowix-prune",
    .synopsis =
        "Usage: stowix-prune [--keep-last N] [--keep-daily N] [--keep-weekly N]\n"
        "                    [--keep-monthly N] [--dry-run]\n"
        "Deletes the backup sets in C:\\Stowix that the unattended backup made (named by their\n"
        "date and time alone) and that no rule keeps. A set with a comment, the last backup,\n"
        "the last restore and anything that is not a set folder always stay.\n",
    .options =
        "  --keep-last N     keep the N newest sets\n"
        "  --keep-daily N    keep the newest set of each of the last N days that have one\n"
        "  --keep-weekly N   likewise for weeks (Monday to Sunday)\n"
        "  --keep-monthly N  likewise for months\n"
        "  --dry-run         list what would be deleted; delete nothing\n",
    .notes =
        "A set is kept when any rule keeps it.\n"
        "Exit status: 0 done; 1 a command line it does not take, or no rule; 2 no drive C:;\n"
        "3 a set could not be deleted; 5 another copy of Stowix is running.\n",
    .ownOptions = PruneOwnOptions,
};

inline constexpr const char* BackupOwnOptions[] = {"--comment"};

inline constexpr CommandUsage BackupUsage{
    .name = "stowix-backup",
    .synopsis =
        "Usage: stowix-backup [--comment TEXT]\n"
        "Makes one backup set of drive C: in C:\\Stowix, as stowix /U does, and prints its\n"
        "name, files, bytes and the seconds it took.\n",
    .options =
        "  --comment TEXT  end the set's name with this comment (at most 32 characters,\n"
        "                  none that a folder name cannot hold)\n",
    .notes =
        "Exit status: 0 done; 1 a command line it does not take; 2 no drive C: or no Windows\n"
        "folder; 3 incomplete; 4 a registry file of the set is damaged; 5 another copy of\n"
        "Stowix is running.\n",
    .ownOptions = BackupOwnOptions,
};

inline constexpr const char* ListOwnOptions[] = {"--json"};

inline constexpr CommandUsage ListUsage{
    .name = "stowix-list",
    .synopsis =
        "Usage: stowix-list [--json]\n"
        "Lists the backup sets in C:\\Stowix, newest first: name, time, comment, files and\n"
        "bytes, and marks for the last backup, the last restore and undo sets.\n",
    .options = "  --json     write the list as a JSON array, for scripts and monitoring\n",
    .notes =
        "Exit status: 0 done; 1 a command line it does not take; 2 no drive C:, or the\n"
        "backup folder cannot be listed; 5 another copy of Stowix works in a drive's image.\n",
    .ownOptions = ListOwnOptions,
};

inline constexpr const char* RestoreOwnOptions[] = {"--dry-run", "--force"};

inline constexpr CommandUsage RestoreUsage{
    .name = "stowix-restore",
    .synopsis =
        "Usage: stowix-restore [--dry-run] [--force] SET\n"
        "Restores a backup set as the window does: what it replaces is kept first in a set\n"
        "of its own, then the files are copied and the registry staged for WinStart.Bat.\n"
        "Start Windows, or run stowix-boot, to finish. SET is a set's folder name, its DOS\n"
        "path, or latest (the newest set a backup made).\n",
    .options =
        "  --dry-run  show what the restore would change; change nothing\n"
        "  --force    restore a set whose registry is damaged or cannot be checked\n",
    .notes =
        "Exit status: 0 done; 1 a command line it does not take; 2 no drive C:, no Windows\n"
        "folder or no such set; 3 incomplete, or not restored; 4 the set's registry is\n"
        "damaged (without --force); 5 another copy of Stowix is running.\n",
    .ownOptions = RestoreOwnOptions,
};

inline constexpr CommandUsage DeleteUsage{
    .name = "stowix-delete",
    .synopsis =
        "Usage: stowix-delete SET ...\n"
        "Deletes backup sets in C:\\Stowix as the window's Delete command does: every file\n"
        "whatever its attributes, then the folder. SET is a set's folder name or DOS path.\n",
    .options = "",
    .notes =
        "Exit status: 0 done; 1 a command line it does not take; 2 no drive C: or no such\n"
        "set; 3 a set could not be deleted entirely; 5 another copy of Stowix is running.\n",
};

}  // namespace stowix
