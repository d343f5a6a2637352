#!/usr/bin/env bash
# The history and export module must define none of the tray program's own
# functions and variables: a second copy would run its initialisers over the
# program's phone table and settings when the module is loaded.
set -euo pipefail
program=$1
module=$2
strong() { nm -D --defined-only "$1" | awk '$2 ~ /^[TDBR]$/ && $3 !~ /^(__bss_start|_edata|_end|_init|_fini)$/ {print $3}' | sort -u; }
both=$(comm -12 <(strong "$program") <(strong "$module"))
if [ -n "$both" ]; then
  echo "defined both in the program and in the module:"
  echo "$both" | c++filt | head -20
  exit 1
fi
[ -n "$(strong "$module" | grep -x saldomat_reports_module)" ] || { echo "the module has no entry"; exit 1; }
echo "no symbol defined twice"
