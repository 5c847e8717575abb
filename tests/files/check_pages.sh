#!/usr/bin/env bash
# check_pages.sh <folder>: has the page writer put an RGB, a CMYK and a six-ink page with a QR code, at 8 and 16
# bits, into the folder and checks each with readers that share no code with the program: libtiff's tiffinfo and
# tiffdump, ImageMagick's identify and convert, exiftool and zbarimg.
# The writer is $VAREMO_PAGE_WRITER, else the first files_outputimage_pagewriter found under build/*/bin.
set -uo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 <folder>" >&2
  exit 2
fi
dir=$1
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
writer=${VAREMO_PAGE_WRITER:-}
if [[ -z $writer ]]; then
  for candidate in "$root"/build/test/bin/files_outputimage_pagewriter "$root"/build/*/bin/files_outputimage_pagewriter; do
    if [[ -x $candidate ]]; then
      writer=$candidate
      break
    fi
  done
fi
if [[ -z $writer || ! -x $writer ]]; then
  echo "no page writer: build files_outputimage_pagewriter or set VAREMO_PAGE_WRITER" >&2
  exit 2
fi
for tool in tiffinfo tiffdump identify convert exiftool zbarimg; do
  if ! command -v "$tool" >/dev/null; then
    echo "missing tool: $tool (see tools/debian-packages.txt)" >&2
    exit 2
  fi
done

mkdir -p "$dir"
rm -f "$dir"/*.tif "$dir"/*.qr "$dir"/*.png
if ! "$writer" "$dir"; then
  echo "the page writer failed" >&2
  exit 1
fi

failures=0
fail() {
  echo "FAIL $page: $*" >&2
  failures=$((failures + 1))
}
# has <output> <fixed text> <what>
has() {
  grep -qF -- "$2" <<<"$1" || fail "$3: no \"$2\""
}

for page in rgb_8 rgb_16 cmyk_8 cmyk_16 spot6_8 spot6_16; do
  file="$dir/${page}_001.tif"
  if [[ ! -f $file ]]; then
    fail "not written"
    continue
  fi
  bits=${page##*_}
  kind=${page%_*}
  case $kind in
    rgb) photometric="RGB color"; samples=3; colorspace=sRGB ;;
    cmyk) photometric="separated"; samples=4; colorspace=CMYK ;;
    spot6) photometric="separated"; samples=6; colorspace=CMYK ;;
  esac

  info=$(tiffinfo "$file" 2>&1) || fail "tiffinfo failed"
  has "$info" "Resolution: 300, 300 pixels/inch" tiffinfo
  has "$info" "Photometric Interpretation: $photometric" tiffinfo
  has "$info" "Bits/Sample: $bits" tiffinfo
  has "$info" "Samples/Pixel: $samples" tiffinfo

  verbose=$(identify -verbose "$file" 2>&1) || fail "identify failed"
  has "$verbose" "Colorspace: $colorspace" identify
  has "$verbose" "Units: PixelsPerInch" identify
  has "$verbose" "Resolution: 300x300" identify
  # identify adds the depth that would suffice: "Depth: 8/1-bit" for a page of full and empty inks.
  grep -qE "^ *Depth: $bits(/[0-9]+)?-bit" <<<"$verbose" || fail "identify: depth is not $bits bits"

  expected=$(cat "$dir/${page}_001.qr")
  if [[ $kind == rgb ]]; then
    decoded=$(zbarimg --raw -q "$file" 2>/dev/null)
  else
    # zbarimg finds no code in a CMYK TIFF, and ImageMagick reads spot channels as alpha.
    convert "$file" -alpha off -colorspace sRGB "$dir/$page.png" || fail "convert failed"
    decoded=$(zbarimg --raw -q "$dir/$page.png" 2>/dev/null)
  fi
  [[ $decoded == "$expected" ]] || fail "QR text \"$decoded\", expected \"$expected\""

  if [[ $kind == spot6 ]]; then
    has "$info" "Extra Samples: 2<unspecified, unspecified>" tiffinfo
    has "$info" "Photoshop Data: <present>" tiffinfo
    dump=$(tiffdump "$file" 2>&1) || fail "tiffdump failed"
    has "$dump" "ExtraSamples (338)" tiffdump
    has "$dump" "34377 (0x8649)" tiffdump
    resources=$(exiftool -v2 "$file" 2>&1) || fail "exiftool -v2 failed"
    # Orange + Green: 15 bytes of names, 34 of Unicode names, 28 of display information.
    has "$resources" "Tag 0x03ee (15 bytes)" "exiftool -v2"
    has "$resources" "Tag 0x0415 (34 bytes)" "exiftool -v2"
    has "$resources" "Tag 0x03ef (28 bytes)" "exiftool -v2"
    tags=$(exiftool -a -G1 -s "$file" 2>&1) || fail "exiftool failed"
    grep -qE '^\[Photoshop\] +AlphaChannelsNames +: Orange, Green$' <<<"$tags" ||
      fail "exiftool: AlphaChannelsNames is not \"Orange, Green\""
    if grep -q "Warning" <<<"$tags"; then
      fail "exiftool warns: $(grep Warning <<<"$tags")"
    fi
  fi
done

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all pages read back"
