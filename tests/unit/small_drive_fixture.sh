#!/usr/bin/env bash
# A Wine drive J: on a 2 MiB tmpfs, for the free-space tests.
#
#   small_drive_fixture.sh setup|cleanup WINE_RUN PREFIX
#
# setup mounts the tmpfs at PREFIX/zel-small-drive, maps J: to it as a hard
# disk and writes the marker C:\zel-small-drive.ok (outside the small drive,
# so that it takes none of its space). Mounting needs root; without it the
# marker is missing and the tests that need the drive skip. cleanup undoes
# all of it. Drive letter used: J only.
set -uo pipefail

action=$1
wine_run=$2
wine=$(dirname "$wine_run")/wine
export WINEPREFIX
WINEPREFIX=$(realpath -m "$3")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEARCH

mount_dir=$WINEPREFIX/zel-small-drive
marker=$WINEPREFIX/drive_c/zel-small-drive.ok
drives='HKLM\Software\Wine\Drives'

undo() {
  rm -f "$marker" "$WINEPREFIX/dosdevices/j:"
  if mountpoint -q "$mount_dir" 2>/dev/null; then umount "$mount_dir"; fi
  rmdir "$mount_dir" 2>/dev/null
  "$wine" reg delete "$drives" /v j: /f /reg:64 >/dev/null 2>&1
}

case $action in
setup)
  "$wine_run" --prefix "$WINEPREFIX" --init || exit 1
  undo
  mkdir -p "$mount_dir"
  if ! mount -t tmpfs -o size=2m tmpfs "$mount_dir" 2>/dev/null; then
    echo "small_drive_fixture: tmpfs mount failed; the small-drive cases will be skipped" >&2
    rmdir "$mount_dir"
    exit 0
  fi
  ln -s "$mount_dir" "$WINEPREFIX/dosdevices/j:"
  "$wine" reg add "$drives" /v j: /d hd /f /reg:64 >/dev/null 2>&1 || { undo; exit 1; }
  # A fresh wineserver (and mountmgr) picks up the drive type.
  wineserver -w
  touch "$marker"
  ;;
cleanup)
  wineserver -w
  undo
  wineserver -w
  ;;
*)
  echo "usage: small_drive_fixture.sh setup|cleanup WINE_RUN PREFIX" >&2
  exit 2
  ;;
esac
exit 0
