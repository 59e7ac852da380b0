#!/usr/bin/env bash
# `make demo`: the substitute camera streams its street scene over RTSP and `lumo-host live` pulls
# it for a fixed time, as a media server would; the summary is then checked against what the
# scene guarantees (every document whole, one track id per object, the stream's frame size).
# Where the camera cannot listen on ports 80 and 554 of its address (they need root), the demo
# pushes the scene straight into the plugin instead (`lumo-host demo`) and says so.
set -euo pipefail
build=${1:-build}
address=${DEMO_ADDRESS:-127.0.0.2}
seconds=${DEMO_SECONDS:-15}

"$build/lumo-camera" --listen "$address:80" --seed 1 >/dev/null 2>&1 &
camera=$!
trap 'kill "$camera" 2>/dev/null; wait "$camera" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/$address/554") 2>/dev/null && break
    kill -0 "$camera" 2>/dev/null || break
    sleep 0.1
done
if ! (exec 3<>"/dev/tcp/$address/554") 2>/dev/null; then
    echo "the camera cannot stream on $address ports 80 and 554 (root needed):" \
         "the demo pushes the scene straight into the plugin instead"
    trap - EXIT
    exec "$build/lumo-host" demo
fi

echo "the camera streams rtsp://$address:554/stream1; pulling it for $seconds s"
summary=$(mktemp)
"$build/lumo-host" live --rtsp "rtsp://$address:554/stream1" --seconds "$seconds" \
    --svg demo-frame.svg --quiet | tee "$summary"
failed=0
check() {
    if grep -Eq "$2" "$summary"; then echo "  ok: $1"; else echo "  FAILED: $1"; failed=1; fi
}
echo "checked against the scene:"
check "every document whole (none lost in transport)" '^received: [1-9][0-9]* documents over RTSP, 0 lost in transport, 0 oversized'
check "every document pushed was read" '^documents: ([0-9]+) pushed, '
check "each object keeps one track id" '^tracks: [1-9].*each with one track id'
check "the plugin took the stream's frame size" '^video: h264 1920x1080'
check "no plugin object outlived the shutdown" '^plugin objects alive after shutdown: none'
rm -f "$summary"
exit "$failed"
