#!/usr/bin/env bash
echo "The demo needs the host program and the reference back end, which are not built yet." >&2
exit 1
