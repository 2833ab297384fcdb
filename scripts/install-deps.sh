#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Stowix need, when any is
# missing. Safe to run again: it asks apt only for what is not there yet.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config           # the compiler and the build
  qt6-base-dev                               # Qt Core (texts, settings), Gui and Widgets (the windows)
  qt6-multimedia-dev libqt6multimedia6       # Qt Multimedia: the opening and closing sounds
  libgtest-dev libgmock-dev                  # GoogleTest and GoogleMock: the tests
  fonts-liberation                           # metric-compatible Times New Roman, Arial fallbacks
  libcreg-dev libbfio-dev                    # libcreg over libbfio: reading Windows 9x registry files
  libcreg-utils                              # cregexport: the tests' independent reader of the same files
  xvfb xauth                                 # a real X display for window checks without a desktop
  xdotool                                    # the tests' keyboard on that display: choosing a drive in the real window
  scdoc                                      # the manual pages, written in scdoc
  dpkg-dev                                   # dpkg-shlibdeps: the Debian package's dependencies
  lintian fakeroot                           # the Debian package's checks; dpkg without root in them
  desktop-file-utils appstream               # checks of the desktop entry and the AppStream file
  shared-mime-info                           # the disk types the desktop entry opens, checked by the tests
  systemd man-db                             # checks of the systemd user units and the manual pages
  mtools dosfstools                          # disk images: made and read back by mtools, checked by fsck.fat
  libnbd-dev                                 # libnbd: the disks in container formats, served by qemu-nbd
  qemu-utils                                 # qemu-nbd (serves qcow2, VDI, VMDK, VHD, VHDX disks); qemu-img makes and checks them in the tests
  qemu-system-x86                            # qemu-system-i386: the tests' running QEMU that holds a disk
  strace                                     # the benchmarks' count of system calls per copied file
  time                                       # /usr/bin/time: a test's peak memory of a program run
  clang-format                               # the house style of the sources, checked by the tests
  dbus-daemon                                # dbus-run-session: a session bus for the tests of the failure notice
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
