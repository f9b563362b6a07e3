#!/usr/bin/env bash
# Makes what ships from the two dist folders, in the order signing needs:
# signs the programs and components (installer/sign.sh: signed with the
# certificate the build is given, unsigned without one), makes and signs the
# Windows Installer package's settings tool, the setup program and its
# uninstaller, then the Windows Installer package from the signed files, and
# signs it last (a signature covers the whole package).
#
#   package.sh --dist32 DIR --dist64 DIR --out DIR --work DIR --version X.Y.Z
#              --company NAME --copyright TEXT --upgrade-code GUID --icon ICO
#              [--msi-only]
#
# Makes OUT/VendrolixSetup.exe, OUT/VendrolixSetup.msi, DIST64/VendrolixSettings.exe
# and WORK/Uninstall.exe (the setup program's uninstaller as it is packed in,
# for the build's checks). --msi-only makes the package alone from dist
# folders already made (an older version for the upgrade test, say).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

msi_only=0
while [ $# -gt 0 ]; do
  case $1 in
    --dist32) dist32=$2; shift 2 ;;
    --dist64) dist64=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --company) company=$2; shift 2 ;;
    --copyright) copyright=$2; shift 2 ;;
    --upgrade-code) upgrade_code=$2; shift 2 ;;
    --icon) icon=$2; shift 2 ;;
    --msi-only) msi_only=1; shift ;;
    *) echo "package.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
mkdir -p "$out" "$work"
sign=("$here/sign.sh")
nsis_common=(-V2 "-DVERSION=$version" "-DCOMPANY=$company" "-DCOPYRIGHT=$copyright"
  "-DSIGN=bash \"$here/sign.sh\"" "-DMSI_UPGRADE_CODE=$upgrade_code")

if [ $msi_only -eq 0 ]; then
  shopt -s nullglob
  binaries=()
  for f in "$dist32"/*.exe "$dist32"/*.dll "$dist64"/*.exe "$dist64"/*.dll; do
    [ "$(basename "$f")" = VendrolixSettings.exe ] || binaries+=("$f")
  done
  shopt -u nullglob
  [ ${#binaries[@]} -eq 0 ] || bash "${sign[@]}" "${binaries[@]}"

  makensis "${nsis_common[@]}" "-DOUTFILE=$dist64/VendrolixSettings.exe" "$here/VendrolixSettings.nsi"

  rm -f "$work/Uninstall.exe"
  makensis "${nsis_common[@]}" "-DDIST32=$dist32" "-DDIST64=$dist64" "-DOUTFILE=$out/VendrolixSetup.exe" \
    "-DMANAGER_ICON=$icon" "-DUNINSTALLER_COPY=$work/Uninstall.exe" "$here/VendrolixSetup.nsi"
fi

# The package holds every file; without the 32-bit programs (a build of the
# 64-bit tree alone) there is none to make.
needed=("$dist32/VendrolixTray.exe" "$dist32/VendrolixPro.exe" "$dist32/VendrolixIEDLL.dll" "$dist32/CookieCleaner.dll"
  "$dist32/Block.wav" "$dist32/VendrolixHelp.chm" "$dist64/VendrolixIEDLL.dll" "$dist64/CookieCleaner.dll"
  "$dist64/VendrolixSettings.exe")
for f in "${needed[@]}"; do
  if [ ! -f "$f" ]; then
    echo "package.sh: no VendrolixSetup.msi without $f (build the i686 tree first)" >&2
    rm -f "$out/VendrolixSetup.msi"
    exit 0
  fi
done

# wixl finds sources by relative paths only.
stage=$work/msi-stage
rm -rf "$stage"
mkdir -p "$stage"
ln -s "$(cd "$dist32" && pwd)" "$stage/i686"
ln -s "$(cd "$dist64" && pwd)" "$stage/x86_64"
ln -s "$here/policy" "$stage/policy"
ln -s "$(cd "$(dirname "$icon")" && pwd)/$(basename "$icon")" "$stage/VendrolixPro.ico"
msi=$work/VendrolixSetup.msi
rm -f "$msi"
(cd "$stage" && wixl -a x64 -I "$here" -D "Version=$version" -D "Company=$company" -D "UpgradeCode=$upgrade_code" \
  -D Dist32=i686 -D Dist64=x86_64 -D ManagerIcon=VendrolixPro.ico -o "$msi" "$here/VendrolixSetup.wxs")

# What wixl cannot say. The upgrade row takes in an installed package of the
# same version (every build has its own product code, so a rebuild replaces
# the installed one instead of standing beside it); the public properties
# pass from an administrator's command line or transform to the installation
# that runs with system rights.
msibuild "$msi" -q "DELETE FROM Upgrade WHERE ActionProperty='WIX_UPGRADE_DETECTED'" \
  -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')" \
  -q "UPDATE Property SET Value='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;BLOCKLEVEL;AUTOCLEAN;KEEPLISTS' WHERE Property='SecureCustomProperties'"

# wixl drops a custom action that runs a program from the Binary table, and
# Windows Installer takes an action missing from its table for one that
# succeeded: the folder step is written here (type 3074: a program from the
# Binary table, deferred, with system rights, its exit code checked).
msibuild "$msi" -q "DELETE FROM CustomAction WHERE Action='SettingsFolder'" \
  -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('SettingsFolder', 3074, 'SettingsToolBinary', '/folder /D=[INSTALLDIR]')"
for action in SettingsFolder SettingsInstall SettingsRepair SettingsRemove SettingsRejoin; do
  if ! msiinfo export "$msi" CustomAction | tr -d '\r' | awk -F '\t' -v a="$action" '$1 == a { found = 1 } END { exit !found }'; then
    echo "package.sh: no custom action $action in the package" >&2
    exit 1
  fi
done

# With the older version removed afterwards, files are replaced by version:
# the programs and components carry the build's one version in the package
# as in their resources (a hash is for unversioned files only).
for id in Tray Manager SettingsTool Helper32 Helper64 Cleaner32 Cleaner64; do
  msibuild "$msi" -q "UPDATE File SET Version='$version.0', Language='1033' WHERE File='$id'" \
    -q "DELETE FROM MsiFileHash WHERE File_='$id'"
done

# The settings tool's steps run from the installation script: after the
# registry rows and before the files go. wixl may put custom actions after
# the script's end, where a deferred action cannot run.
sequence() { # action -> its number in the execute sequence (a number stands for itself)
  case $1 in [0-9]*) echo "$1"; return ;; esac
  msiinfo export "$msi" InstallExecuteSequence | tr -d '\r' | awk -v a="$1" -F '\t' '$1 == a { print $3 }'
}
place() { # action after|before anchor
  local number
  number=$(sequence "$3")
  [ "$2" = after ] && number=$((number + 1)) || number=$((number - 1))
  msibuild "$msi" -q "UPDATE InstallExecuteSequence SET Sequence=$number WHERE Action='$1'"
}
place SettingsFolder before InstallFiles
place SettingsInstall after WriteRegistryValues
place SettingsRepair after SettingsInstall
place SettingsRemove before RemoveFiles
# An older version goes once this one is in place, not before: Wine's Windows
# Installer does not tell the older one's removal that it is part of an
# upgrade, but then its settings tool sees this version installed and keeps
# the user's settings. The components keep their identities across versions,
# so the older removal takes away nothing this one still uses. Wine's
# removal also drops the family's whole entry, this version's with it; the
# settings tool files this version there again right after.
place RemoveExistingProducts after InstallFinalize
place SettingsRejoin after RemoveExistingProducts
for check in "InstallInitialize SettingsFolder InstallFiles" "InstallInitialize SettingsRemove RemoveFiles" "WriteRegistryValues SettingsInstall InstallFinalize" \
  "SettingsInstall SettingsRepair InstallFinalize" \
  "InstallFinalize RemoveExistingProducts SettingsRejoin" "RemoveExistingProducts SettingsRejoin 999999"; do
  read -r first action last <<<"$check"
  if ! [ "$(sequence "$first")" -lt "$(sequence "$action")" ] || ! [ "$(sequence "$action")" -lt "$(sequence "$last")" ]; then
    echo "package.sh: $action is not between $first and $last" >&2
    exit 1
  fi
done

bash "${sign[@]}" "$msi"
mv -f "$msi" "$out/VendrolixSetup.msi"
