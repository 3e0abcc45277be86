# shellcheck shell=bash
# Shared by the package checks (sourced): a failure count, tiny phrase
# databases, and a way to make another version of a package.

failures=0

# check DESCRIPTION COMMAND...: runs COMMAND and counts a failure if it fails.
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}

# Ends the check: exit status 1 if anything failed.
finish() {
  if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}

# write_phrases FILE: writes a built-in phrase database from "READING VALUE
# SCORE" lines on standard input, sorted and with the format line, as the
# data builder writes it.
write_phrases() {
  {
    echo "# format org.tarnwick.kestova.sorted"
    LC_ALL=C sort
  } >"$1"
}

# Two small databases that convert ㄘㄜˋ ㄕˋ (Standard keys hk4g4) differently.
write_phrases_a() {
  write_phrases "$1" <<'PHRASES'
ㄘㄜˋ 測 -3.0
ㄕˋ 試 -3.0
ㄘㄜˋ-ㄕˋ 測試 -2.0
ㄋㄧˇ 你 -2.0
ㄏㄠˇ 好 -2.0
ㄋㄧˇ-ㄏㄠˇ 你好 -2.2
PHRASES
}
write_phrases_b() {
  write_phrases "$1" <<'PHRASES'
ㄘㄜˋ 策 -3.0
ㄕˋ 士 -3.0
ㄘㄜˋ-ㄕˋ 策士 -2.0
ㄋㄧˇ 你 -2.0
ㄏㄠˇ 好 -2.0
ㄋㄧˇ-ㄏㄠˇ 你好 -2.2
PHRASES
}

# repack DEB VERSION DATABASE OUT: writes OUT, the package DEB with another
# version and DATABASE as its built-in phrase database, maintainer scripts
# and everything else unchanged.
repack() {
  local deb=$1 version=$2 database=$3 out=$4 tree
  tree=$(mktemp -d "${TMPDIR:-/tmp}/kestova-repack.XXXXXX")
  dpkg-deb -R "$deb" "$tree/p"
  cp "$database" "$tree/p/usr/share/kestova/kestova-data.txt"
  sed -i "s/^Version: .*/Version: $version/" "$tree/p/DEBIAN/control"
  local size
  size=$(du -sk --exclude=DEBIAN "$tree/p" | cut -f1)
  sed -i "s/^Installed-Size: .*/Installed-Size: $size/" "$tree/p/DEBIAN/control"
  (cd "$tree/p" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z |
    xargs -0 md5sum >DEBIAN/md5sums)
  dpkg-deb --root-owner-group -Zgzip -z1 -b "$tree/p" "$out" >/dev/null
  rm -rf "$tree"
}
