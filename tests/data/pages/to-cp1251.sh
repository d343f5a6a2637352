#!/bin/sh
# Writes the windows-1251 twin of every UTF-8 page: NAME.utf8.html -> NAME.cp1251.html,
# with the charset of its meta tag changed and CR LF line ends, as the operator's
# servers send their pages. Run it after editing a .utf8.html page.
set -eu
cd "$(dirname "$0")"
for f in *.utf8.html; do
  sed -e 's/charset=utf-8/charset=windows-1251/' -e 's/\r*$/\r/' "$f" |
    iconv -f UTF-8 -t WINDOWS-1251 > "${f%.utf8.html}.cp1251.html"
done
