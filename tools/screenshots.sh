#!/usr/bin/env bash
# tools/screenshots.sh [OUTDIR]: photographs of the real program between two simulated
# devices (port settings, main window, popup menu, log settings, about box, exit question)
# for the README; default OUTDIR is docs/screenshots.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
exec "$ROOT/tools/run.sh" --photos "${1:-$ROOT/docs/screenshots}"
