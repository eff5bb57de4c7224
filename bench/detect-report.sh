#!/usr/bin/env bash
# Measures zekt's detection against nkf --guess and uchardet on snippets of
# real Japanese text in every code and writes docs/detection.md. `make
# detect-report` builds build/ in Release first.
#   DETECT_SEED       seed of the sampling (default 17)
#   DETECT_COUNT      snippets per code, length and kind (default 300)
#   DETECT_BASELINE   another zekt binary, shown as "before"
#   ZEKT              the zekt binary to measure (default build/bin/zekt)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-missing.sh nkf uchardet mecab-ipadic manpages-ja python3

exec python3 bench/detect_report.py --zekt "${ZEKT:-build/bin/zekt}" --baseline "${DETECT_BASELINE:-}" \
  --seed "${DETECT_SEED:-17}" --count "${DETECT_COUNT:-300}"
