#!/usr/bin/env bash
# Set-up, build, then start the desktop application on the bundled damaged
# sample (Recover shows its tables).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" build
exec "$here/build/pagewright-gui" "$here/build/sample/Shop-damaged.mdb"
