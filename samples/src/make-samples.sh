#!/usr/bin/env bash
# Rebuilds the coded samples from the UTF-8 texts beside this script.
set -euo pipefail
cd "$(dirname "$0")"
sed 's/$/\r/' weather.txt | iconv -f UTF-8 -t CP932 > ../weather-sjis.txt
iconv -f UTF-8 -t EUC-JP shopping.txt > ../shopping-euc.txt
iconv -f UTF-8 -t ISO-2022-JP note.txt > ../note-jis.txt
cp notice.txt ../notice-utf8.txt
