#!/usr/bin/env bash
# check-package.sh CHECK BUILD_DIR DEB_DIR VERSION SAMPLE_HOME_SCRIPT
#
# Checks of the Debian package made from BUILD_DIR. CHECK is one of:
#   build     make the package with cpack into DEB_DIR (the others need it)
#   contents  every file the package must ship, nothing else; control fields;
#             the versions of the changelog and the metainfo
#   desktop   desktop-file-validate on the shipped desktop entry
#   appstream appstreamcli validate --no-net on the shipped metainfo
#   lintian   lintian on the package: no errors
#   runs      the extracted program: --version, --list-albums on the sample
#             library, and the man page made from its --help
# Exit status 77 (skipped) when a tool the check needs is not installed.
set -euo pipefail

check=$1 build_dir=$2 deb_dir=$3 version=$4 sample_home_script=$5
app_id=io.github.slideshow_exporter.SlideshowExporter

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { # command package
  command -v "$1" >/dev/null 2>&1 && return 0
  echo "SKIPPED: $1 is not installed (apt-get install $2, or run .ci/install-deps)"
  exit 77
}

need dpkg-deb dpkg
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ "$check" = build ]; then
  need dpkg-shlibdeps dpkg-dev
  rm -rf "$deb_dir"
  cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$deb_dir" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack could not make the package"; }
  ls "$deb_dir"/*.deb
  exit 0
fi

debs=("$deb_dir"/slideshow-exporter_*.deb)
[ -f "${debs[0]}" ] || fail "no package in $deb_dir (the package_build test makes it)"
deb=${debs[0]}
dpkg-deb -x "$deb" "$scratch/root"
root=$scratch/root

case $check in
contents)
  expected=(
    usr/bin/slideshow-exporter
    usr/share/applications/$app_id.desktop
    usr/share/metainfo/$app_id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/slideshow-exporter.svg
    usr/share/icons/hicolor/48x48/apps/slideshow-exporter.png
    usr/share/icons/hicolor/64x64/apps/slideshow-exporter.png
    usr/share/icons/hicolor/128x128/apps/slideshow-exporter.png
    usr/share/icons/hicolor/256x256/apps/slideshow-exporter.png
    usr/share/man/man1/slideshow-exporter.1.gz
    usr/share/doc/slideshow-exporter/copyright
    usr/share/doc/slideshow-exporter/changelog.gz
  )
  dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$scratch/listed"
  printf '%s\n' "${expected[@]}" | sort >"$scratch/expected"
  if ! diff -u "$scratch/expected" "$scratch/listed"; then
    fail "the package's files differ from the expected ones (- missing, + unexpected)"
  fi

  field() { dpkg-deb --field "$deb" "$1"; }
  [ "$(field Package)" = slideshow-exporter ] || fail "Package is '$(field Package)'"
  [ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
  [ "$(field Section)" = graphics ] || fail "Section is '$(field Section)'"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer field"
  field Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt Widgets library: '$(field Depends)'"
  field Depends | grep -Eq '(^|, )melt($|,| )' || fail "Depends lacks melt, which renders the videos: '$(field Depends)'"
  [ "$(field Description | wc -l)" -gt 3 ] || fail "no long description"

  changelog_version=$(gzip -dc "$root/usr/share/doc/slideshow-exporter/changelog.gz" | sed -n '1s/^slideshow-exporter (\([^)]*\)).*/\1/p')
  [ "$changelog_version" = "$version" ] ||
    fail "the changelog's latest entry is '$changelog_version', the package is $version"
  grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the metainfo has no release entry for $version"
  ;;
desktop)
  need desktop-file-validate desktop-file-utils
  out=$(desktop-file-validate "$root/usr/share/applications/$app_id.desktop" 2>&1) || true
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  ;;
appstream)
  need appstreamcli appstream
  appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$app_id.metainfo.xml" >"$scratch/out" 2>&1 ||
    { cat "$scratch/out" >&2; fail "appstreamcli validate found errors"; }
  cat "$scratch/out"
  # Warnings and infos fail the check too; pedantic hints do not.
  if grep -Eq '^[EWI]:' "$scratch/out"; then fail "appstreamcli validate reported issues"; fi
  ;;
lintian)
  need lintian lintian
  lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reported errors"
  ;;
runs)
  # No display and no Qt platform: the command line must not need one, and
  # the window, if it were started by mistake, stops at once.
  program=$root/usr/bin/slideshow-exporter
  run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME \
            HOME="$scratch/home" timeout 60 "$program" "$@"; }
  mkdir -p "$scratch/home"
  run --version >"$scratch/version" || fail "--version failed (exit status $?)"
  grep -Eq "(^| )$version( |$)" "$scratch/version" || fail "--version does not say $version: $(cat "$scratch/version")"

  "$sample_home_script" "$scratch/sample" >/dev/null
  run --list-albums --library "$scratch/sample/Pictures/iPhoto Library" >"$scratch/albums" ||
    fail "--list-albums failed (exit status $?): the command line is missing or broken"
  printf '%s\n' "Summer by the Sea" "Mountain Walk" "Garden" "Favourites" >"$scratch/expected"
  diff -u "$scratch/expected" "$scratch/albums" || fail "--list-albums listed other albums"

  man=$root/usr/share/man/man1/slideshow-exporter.1.gz
  # The man page's source text, where roff writes "-" in options as "\-".
  for text in '\-\-list\-albums' '\-\-library' 'EXIT STATUS' 'FILES' 'AlbumData.xml' 'slideshow-exporter.conf'; do
    gzip -dc "$man" | grep -qF -- "$text" || fail "the man page does not mention '$text'"
  done
  ;;
*)
  fail "unknown check '$check'"
  ;;
esac
echo "PASS: $check"
