#!/usr/bin/env bash
# The program's main job on a generated Windows 98 drive: installs what is missing, builds,
# writes a drive C: under demo/ (once), runs an unattended backup of it, shows the set made and
# checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target stowix stowix-make-drive stowix-dir stowix-check stowix_media

demo="$PWD/demo"
bin="$PWD/build/release/bin"
if [ ! -d "$demo/drive_c" ]; then
  mkdir -p "$demo/drive_c"
  "$bin/stowix-make-drive" "$demo/drive_c"
fi

export STOWIX_DRIVE_C="$demo/drive_c"
export XDG_CONFIG_HOME="$demo/config"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$demo/run}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$bin/stowix" /U
echo "Backup made. Last backup recorded in $XDG_CONFIG_HOME/Stowix/Stowix.ini:"
grep LastBackup "$XDG_CONFIG_HOME/Stowix/Stowix.ini"
set_path=$(sed -n 's/^LastBackup="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$XDG_CONFIG_HOME/Stowix/Stowix.ini" | sed 's/\\\\/\\/g')
echo "Files of the set $set_path, with their DOS attributes:"
"$bin/stowix-dir" "$set_path"
echo "The set checked (every file read, the registry pair read key by key):"
"$bin/stowix-check" "$set_path"
