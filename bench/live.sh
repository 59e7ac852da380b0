#!/usr/bin/env bash
# The live road under load: CAMERAS cameras (default 16) streamed by one lumo-camera process over
# RTSP and pulled by one `lumo-host live` process for SECONDS (default 60). Prints documents lost
# in transport, the plugin's CPU per document next to the direct push's (`lumo-host bench` with
# the same cameras and rate) and the host's CPU per stream. Needs ports 80 and 554 on
# 127.0.10.1 and up (root).
set -euo pipefail
build=${1:-build-bench}
cameras=${CAMERAS:-16}
seconds=${SECONDS_RUN:-60}
first=127.0.10.1

"$build/lumo-camera" --listen "$first:80" --cameras "$cameras" >/dev/null 2>&1 &
camera=$!
trap 'kill "$camera" 2>/dev/null; wait "$camera" 2>/dev/null || true' EXIT
urls=()
for i in $(seq 1 "$cameras"); do
    urls+=(--rtsp "rtsp://127.0.10.$i:554/stream1")
done
# The camera listens within a moment; lumo-host says so if it does not.
sleep 2
kill -0 "$camera" || { echo "lumo-camera did not start (ports 80 and 554 need root)"; exit 1; }

echo "== lumo-host live: $cameras cameras over RTSP, $seconds s"
live=$("$build/lumo-host" live "${urls[@]}" --seconds "$seconds" --json --quiet --bench \
       2>/dev/null | tail -1)
echo "== lumo-host bench: $cameras cameras, direct push, $seconds s"
direct=$("$build/lumo-host" bench --cameras "$cameras" --rate 10 --seconds "$seconds" --json \
         2>/dev/null | tail -1)
python3 - "$live" "$direct" <<'PY'
import json, sys
live = json.loads(sys.argv[1])["summary"]
direct = json.loads(sys.argv[2])
def find(d, key):
    if isinstance(d, dict):
        if key in d:
            return d[key]
        for v in d.values():
            r = find(v, key)
            if r is not None:
                return r
    return None
t, cpu = live["transport"], live["cpu"]
direct_us = find(direct, "perDocumentUs")
print(f"documents received {t['received']}, lost in transport {t['lostInTransport']}, "
      f"oversized {t['oversized']}, reconnects {t['reconnects']}")
print(f"documents pushed {live['documents']['pushed']}, processed {live['documents']['processed']}")
print(f"plugin CPU per document: live {cpu['pluginPerDocumentUs']:.1f} us, "
      f"direct push {direct_us:.1f} us, ratio {cpu['pluginPerDocumentUs'] / direct_us:.2f}")
print(f"host CPU per stream: {100 * cpu['hostPerStreamCoreShare']:.2f} % of a core")
PY
