# The upgrade from the single jilan-harvester 1.3.0 package to the two packages of 1.4.0, played
# in private dpkg roots (never the real system), for scripts/package.
# shellcheck shell=bash

# Every file of the 1.3.0 package, as it was built: the window, its menu entry and icons, the
# daily-run files and the README, all in one package.
JILAN_FILES_1_3_0="/usr/bin/jilan-harvester
/usr/share/applications/jilan-harvester.desktop
/usr/share/icons/hicolor/scalable/apps/jilan-harvester.svg
/usr/share/icons/hicolor/16x16/apps/jilan-harvester.png
/usr/share/icons/hicolor/32x32/apps/jilan-harvester.png
/usr/share/icons/hicolor/48x48/apps/jilan-harvester.png
/usr/share/icons/hicolor/256x256/apps/jilan-harvester.png
/usr/share/jilan-harvester/jilan-harvester-daily.service
/usr/share/jilan-harvester/jilan-harvester-daily.timer
/usr/share/jilan-harvester/daily.env
/usr/share/jilan-harvester/jilan-harvester.cron
/usr/lib/systemd/user/jilan-harvester-daily.service
/usr/lib/systemd/user/jilan-harvester-daily.timer
/usr/share/doc/jilan-harvester/README.md"

# build_1_3_0_deb <dir> <arch>: a package with 1.3.0's name, version and file list (each file
# says which old path it is), printed as its path.
build_1_3_0_deb() {
  local dir=$1 arch=$2 path
  mkdir -p "$dir/tree/DEBIAN"
  while read -r path; do
    mkdir -p "$dir/tree$(dirname "$path")"
    echo "jilan-harvester 1.3.0 $path" >"$dir/tree$path"
  done <<<"$JILAN_FILES_1_3_0"
  chmod 0755 "$dir/tree/usr/bin/jilan-harvester"
  cat >"$dir/tree/DEBIAN/control" <<EOF
Package: jilan-harvester
Version: 1.3.0
Architecture: $arch
Maintainer: 霁岚系列软件 <packaging@jilan-harvester.invalid>
Depends: libqt6widgets6, libcurl4, qt6-translations-l10n
Section: net
Priority: optional
Description: 霁岚域名回收采集器 - deleted domain harvester for domain investors
 The single package of 1.3.0, rebuilt for the upgrade check.
EOF
  dpkg-deb --root-owner-group -Zgzip --build "$dir/tree" "$dir/jilan-harvester_1.3.0_$arch.deb" >/dev/null &&
    echo "$dir/jilan-harvester_1.3.0_$arch.deb"
}

# new_dpkg_root <dir>: an empty dpkg database under dir.
new_dpkg_root() {
  mkdir -p "$1/var/lib/dpkg/info" "$1/var/lib/dpkg/updates" "$1/var/lib/dpkg/triggers"
  : >"$1/var/lib/dpkg/status"
  : >"$1/var/lib/dpkg/available"
}

# The libraries and Qt the packages depend on are not in the private root, hence --force-depends;
# --path-include undoes a host's path-exclude (minimal images drop man pages and docs);
# nothing else is forced, so a file taken over without Replaces fails the step.
private_dpkg() {
  local root=$1; shift
  as_root dpkg --root="$root" --log=/dev/null --force-depends --no-triggers --path-include="/*" "$@"
}

# expect_upgraded <root> <unpacked new files> <cli deb> <window deb>: both packages installed at
# the new version, every one of their files there with the new contents and owned by exactly
# its package, and no file left from 1.3.0 that the new packages do not ship.
expect_upgraded() {
  local root=$1 unpacked=$2 cli_deb=$3 window_deb=$4 state package deb path owner version
  version=$(dpkg-deb -f "$cli_deb" Version)
  state=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${db:Status-Abbrev}${Package} ${Version}\n' | sort)
  [ "$state" = "$(printf 'ii jilan-harvester %s\nii jilan-harvester-cli %s' "$version" "$version")" ] || {
    echo "packages in the private root after the upgrade:" >&2
    echo "$state" >&2
    return 1
  }
  for package in jilan-harvester-cli jilan-harvester; do
    deb=$cli_deb
    [ "$package" = jilan-harvester ] && deb=$window_deb
    while read -r path; do
      cmp -s "$root$path" "$unpacked$path" || { echo "$path of $package is missing or old" >&2; return 1; }
      owner=$(dpkg-query --admindir="$root/var/lib/dpkg" -S "$path" | sed 's/: .*//')
      [ "$owner" = "$package" ] || { echo "$path is owned by '$owner', not $package" >&2; return 1; }
    done < <(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' | grep -v '/$')
  done
  while read -r path; do
    if ! dpkg-query --admindir="$root/var/lib/dpkg" -S "$path" >/dev/null 2>&1 && [ -e "$root$path" ]; then
      echo "$path of 1.3.0 was left behind" >&2
      return 1
    fi
  done <<<"$JILAN_FILES_1_3_0"
}

# check_upgrade_from_1_3 <work dir> <cli deb> <window deb> <both unpacked>: 1.3.0 installed, then
#   apt:          both in one dpkg call, the command line first, with --auto-deconfigure as apt
#                 passes it (1.3.0 is deconfigured for the command line's Breaks);
#   window-first: `dpkg -i window cli`, nothing forced but the missing libraries;
# then in the first root the window removed: the daily files must stay, they belong to the
# command line now.
check_upgrade_from_1_3() {
  local dir=$1 cli_deb=$2 window_deb=$3 unpacked=$4 old arch way root
  arch=$(dpkg --print-architecture)
  mkdir -p "$dir"
  old=$(build_1_3_0_deb "$dir/old" "$arch") || { echo "dpkg-deb could not build the 1.3.0 package" >&2; return 1; }
  for way in apt window-first; do
    root="$dir/$way"
    new_dpkg_root "$root"
    private_dpkg "$root" -i "$old" >"$dir/$way.log" 2>&1 || { cat "$dir/$way.log" >&2; return 1; }
    [ "$(cat "$root/usr/lib/systemd/user/jilan-harvester-daily.timer")" = \
      "jilan-harvester 1.3.0 /usr/lib/systemd/user/jilan-harvester-daily.timer" ] || return 1
    if [ "$way" = apt ]; then
      private_dpkg "$root" --auto-deconfigure -i "$cli_deb" "$window_deb" >>"$dir/$way.log" 2>&1
    else
      private_dpkg "$root" -i "$window_deb" "$cli_deb" >>"$dir/$way.log" 2>&1
    fi || { cat "$dir/$way.log" >&2; echo "dpkg failed to upgrade ($way)" >&2; return 1; }
    expect_upgraded "$root" "$unpacked" "$cli_deb" "$window_deb" || {
      cat "$dir/$way.log" >&2; echo "($way)" >&2; return 1; }
    echo "upgrade ($way): 1.3.0 replaced by jilan-harvester-cli and jilan-harvester $(dpkg-deb -f "$cli_deb" Version), every file in place"
  done
  root="$dir/apt"
  private_dpkg "$root" -r jilan-harvester >>"$dir/apt.log" 2>&1 || { cat "$dir/apt.log" >&2; return 1; }
  for path in /usr/bin/jilan-harvester-cli /usr/lib/systemd/user/jilan-harvester-daily.service \
              /usr/lib/systemd/user/jilan-harvester-daily.timer /usr/share/jilan-harvester/daily.env; do
    [ -f "$root$path" ] || { echo "removing the window removed $path" >&2; return 1; }
  done
  [ ! -e "$root/usr/bin/jilan-harvester" ] || { echo "removing the window left /usr/bin/jilan-harvester" >&2; return 1; }
  echo "removing jilan-harvester afterwards keeps the command line and the daily-run files"
}
