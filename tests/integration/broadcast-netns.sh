#!/usr/bin/env bash
# Broadcast commands across a real network link: tsmCL lives in one network
# namespace (10.9.0.1/24), the HAL in another (10.9.0.2 and 10.9.0.3 on the same
# veth link). A subnet broadcast from the HAL address must be logged, one from
# 10.9.0.3 must not. Needs root; exits 77 (skipped) where namespaces are not
# available. Every namespace and process it makes is removed on exit.
#
# Usage: broadcast-netns.sh <path of tsmCL> <path of tsmhost>
set -euo pipefail

tsmcl=$1
tsmhost=$2
skip=77

suffix=$$
ns_devices="tsm-dev-$suffix"
ns_hal="tsm-hal-$suffix"
veth_devices="tsmd$suffix"
veth_hal="tsmh$suffix"
workdir=$(mktemp -d)
tsmcl_pid=

cleanup() {
    if [ -n "$tsmcl_pid" ] && kill -0 "$tsmcl_pid" 2>/dev/null; then
        kill -KILL "$tsmcl_pid" 2>/dev/null || true
        wait "$tsmcl_pid" 2>/dev/null || true
    fi
    ip netns del "$ns_devices" 2>/dev/null || true
    ip netns del "$ns_hal" 2>/dev/null || true
    rm -rf "$workdir"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- tsmCL standard output:"
    cat "$workdir/out" 2>/dev/null || true
    echo "--- tsmCL standard error:"
    cat "$workdir/err" 2>/dev/null || true
    exit 1
}

# Waits up to 10 s for a line in tsmCL's output.
wait_for_line() {
    local line=$1
    for _ in $(seq 100); do
        if grep -qxF -- "$line" "$workdir/out"; then
            return 0
        fi
        if ! kill -0 "$tsmcl_pid" 2>/dev/null; then
            fail "tsmCL ended while waiting for: $line"
        fi
        sleep 0.1
    done
    fail "not logged within 10 s: $line"
}

for program in "$tsmcl" "$tsmhost"; do
    [ -x "$program" ] || fail "$program is not built"
done
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
    echo "SKIP: network namespaces need root and iproute2"
    exit $skip
fi
if ! ip netns add "$ns_devices" 2>"$workdir/netns-error"; then
    echo "SKIP: network namespaces are not available here: $(cat "$workdir/netns-error")"
    exit $skip
fi
ip netns add "$ns_hal"
ip link add "$veth_devices" type veth peer name "$veth_hal"
ip link set "$veth_devices" netns "$ns_devices"
ip link set "$veth_hal" netns "$ns_hal"
ip -n "$ns_devices" link set lo up
ip -n "$ns_devices" addr add 10.9.0.1/24 dev "$veth_devices"
ip -n "$ns_devices" link set "$veth_devices" up
ip -n "$ns_hal" link set lo up
ip -n "$ns_hal" addr add 10.9.0.2/24 dev "$veth_hal"
ip -n "$ns_hal" addr add 10.9.0.3/24 dev "$veth_hal"
ip -n "$ns_hal" link set "$veth_hal" up

ip netns exec "$ns_devices" "$tsmcl" -localip 10.9.0.1 -halip 10.9.0.2 \
    -x2d "$workdir/missing.x2d" >"$workdir/out" 2>"$workdir/err" &
tsmcl_pid=$!
wait_for_line "Press Ctrl-C to quit"

hal() { ip netns exec "$ns_hal" "$tsmhost" broadcast "$@" >/dev/null; }

# The subnet broadcast from the HAL.
hal master --device 0x02000001 --rate 100.5 --hal 10.9.0.2 --to 10.9.0.255
wait_for_line "Received broadcast command: 00030005 (BROADCAST_CMD_MASTER, device = 33554433)"

# The same kind of broadcast from another host: dropped. The HAL's marker after
# it arrives in order, so once the marker is logged the other one was seen.
hal frame-number --frame 77 --hal 10.9.0.3 --to 10.9.0.255
hal sync --frame 5 --hal 10.9.0.2 --to 10.9.0.255
wait_for_line "Received broadcast command: 00010001 (BROADCAST_CMD_SYNC, frame = 5)"
if grep -q "BROADCAST_CMD_FRAME_NUMBER" "$workdir/out"; then
    fail "a broadcast from 10.9.0.3 was logged"
fi

# The limited broadcast, tsmhost's default destination for a HAL off loopback.
hal test-sync --hal 10.9.0.2
wait_for_line "Received broadcast command: 000A0001 (BROADCAST_CMD_TEST_SYNC)"

kill -TERM "$tsmcl_pid"
status=0
wait "$tsmcl_pid" || status=$?
tsmcl_pid=
[ "$status" -eq 0 ] || fail "tsmCL ended with status $status after SIGTERM"
[ ! -s "$workdir/err" ] || fail "tsmCL wrote to standard error"
echo "PASS: subnet and limited broadcasts from the HAL logged, 10.9.0.3 ignored"
