#!/usr/bin/env bash
# Golden frames: the offline renderer's frames at fixed times inside every scene window and at the
# overlay moments match the references in tests/golden/ (see scripts/goldenFrames).
set -u
exec "$2/scripts/goldenFrames" --build "$1"
