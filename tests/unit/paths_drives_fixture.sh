#!/usr/bin/env bash
# Drives, shares and unwritable folders for the path tests, in the Wine
# prefix of one build directory.
#
#   paths_drives_fixture.sh setup|cleanup WINE_RUN PREFIX
#
# What setup makes (everything lives under C:\zel-paths-fixture):
#   Q:                    a folder typed "cdrom" in HKLM\Software\Wine\Drives
#   R:                    made sure to be unmapped (an unknown drive letter)
#   \\zelsrv\share        a writable share   (dosdevices/unc/zelsrv/share)
#   \\zelsrv\locked       an immutable share (chattr +i)
#   C:\zel-paths-fixture\readonly   an immutable folder (chattr +i)
#   C:\zel-paths-fixture\linktarget\keep.txt, with Unix symbolic links to that
#   folder inside linktrees\<remover>\link and at toplink: Wine cannot make a
#   junction or symbolic link from the Windows side, but shows these as
#   reparse-point folders.
# Marker files: "ready" when the drives are in place, "readonly.ok" when the
# immutable folders could be made (root writes into a 0555 folder, so plain
# permissions prove nothing). cleanup undoes all of it; the immutable flag
# must go before anything can delete the build directory.
# Drive letters used: Q and R only (S: is the repository).
set -uo pipefail

action=$1
wine_run=$2
wine=$(dirname "$wine_run")/wine
export WINEPREFIX
WINEPREFIX=$(realpath -m "$3")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEARCH

root=$WINEPREFIX/drive_c/zel-paths-fixture
dosdevices=$WINEPREFIX/dosdevices
drives='HKLM\Software\Wine\Drives'

# mountmgr reads drive types from the 64-bit registry view when it starts.
set_drive_type() {
  "$wine" reg add "$drives" /v "$1" /d "$2" /f /reg:64 >/dev/null 2>&1
}
delete_drive_type() {
  "$wine" reg delete "$drives" /v "$1" /f /reg:64 >/dev/null 2>&1
}

undo() {
  chattr -i "$root/readonly" "$root/locked" 2>/dev/null
  rm -rf "$root"
  rm -f "$dosdevices/q:" "$dosdevices/r:"
  rm -f "$dosdevices/unc/zelsrv/share" "$dosdevices/unc/zelsrv/locked"
  rmdir "$dosdevices/unc/zelsrv" 2>/dev/null
  rmdir "$dosdevices/unc" 2>/dev/null
}

case $action in
setup)
  "$wine_run" --prefix "$WINEPREFIX" --init || exit 1
  undo
  mkdir -p "$root/cdrom" "$root/share" "$root/locked" "$root/readonly" "$root/linktarget" "$dosdevices/unc/zelsrv"
  echo keep >"$root/linktarget/keep.txt"
  for remover in DeleteFolderTree RemoveFolderTree DeleteFolderCollect; do
    mkdir -p "$root/linktrees/$remover"
    echo other >"$root/linktrees/$remover/other.txt"
    ln -s ../../linktarget "$root/linktrees/$remover/link"
  done
  ln -s linktarget "$root/toplink"
  ln -s "$root/cdrom" "$dosdevices/q:"
  ln -s "$root/share" "$dosdevices/unc/zelsrv/share"
  ln -s "$root/locked" "$dosdevices/unc/zelsrv/locked"
  set_drive_type q: cdrom || exit 1
  delete_drive_type r:
  # A fresh wineserver (and mountmgr) picks up the drive types.
  wineserver -w
  if chattr +i "$root/readonly" "$root/locked" 2>/dev/null; then
    touch "$root/readonly.ok"
  else
    echo "paths_drives_fixture: chattr +i failed; the unwritable-folder cases will be skipped" >&2
  fi
  touch "$root/ready"
  ;;
cleanup)
  undo
  delete_drive_type q:
  wineserver -w
  ;;
*)
  echo "usage: paths_drives_fixture.sh setup|cleanup WINE_RUN PREFIX" >&2
  exit 2
  ;;
esac
exit 0
