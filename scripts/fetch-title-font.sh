#!/usr/bin/env bash
# Fetches the program's title face, Orbitron (SIL Open Font License 1.1), from the npm registry
# with the npm client: one pinned package version, whose tarball checksum is checked before
# anything in it is used. Leaves the Regular face as orbitron.ttf and the font's licence as
# orbitron-OFL.txt in the folder given; a folder that already holds the checked files is kept.
#
# Exit codes: 0 the face is in place; 2 the registry (or the npm client) cannot be reached, so
# the build falls back to another face; 1 anything else, such as a tarball whose checksum is
# wrong, which stops the build.
set -euo pipefail

package="@expo-google-fonts/orbitron"
version="0.4.2"
tarball_sha256="d90c299060f8d6affd7ebeba37acdb5f0fd93ac596d7d781cabd70e5623f6bdb"
face_sha256="739162ac8e6fcadb559226f2fee57f55baad126728cec901b321042c7224088e"
licence_sha256="ab609b0e110d622435ff337cdf233288556e011bbf9bd0550be98846c0630819"

dest="${1:?usage: fetch-title-font.sh FOLDER}"
face="$dest/orbitron.ttf"
licence="$dest/orbitron-OFL.txt"

checked() { [ -f "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$2" ]; }

if checked "$face" "$face_sha256" && checked "$licence" "$licence_sha256"; then
  exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
  echo "fetch-title-font: no npm client" >&2
  exit 2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && npm pack --loglevel=error --fetch-retries=1 --fetch-timeout=30000 \
        "$package@$version" >"$work/npm.log" 2>&1); then
  echo "fetch-title-font: npm could not fetch $package@$version:" >&2
  tail -n 5 "$work/npm.log" >&2
  exit 2
fi
archive="$work/expo-google-fonts-orbitron-$version.tgz"
if ! checked "$archive" "$tarball_sha256"; then
  echo "fetch-title-font: $package@$version does not have the expected checksum" >&2
  exit 1
fi
tar -xzf "$archive" -C "$work" package/400Regular/Orbitron_400Regular.ttf package/LICENSE_FONT
if ! checked "$work/package/400Regular/Orbitron_400Regular.ttf" "$face_sha256" ||
   ! checked "$work/package/LICENSE_FONT" "$licence_sha256"; then
  echo "fetch-title-font: the face or licence in $package@$version is not the expected one" >&2
  exit 1
fi
mkdir -p "$dest"
cp "$work/package/400Regular/Orbitron_400Regular.ttf" "$face"
cp "$work/package/LICENSE_FONT" "$licence"
echo "fetch-title-font: Orbitron Regular $version from $package"
