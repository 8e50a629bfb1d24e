#!/usr/bin/env bash
# Runs a command inside a private virtual LAN made of two network namespaces,
# so that nothing it sends can reach the machine's real interfaces.
#
#   <name>-ws   the workstation: ws0 10.77.0.1/16 and ws1 10.78.0.1/16, no default route
#   <name>-dev  the devices:     dev0 10.77.0.2/16 and dev1 10.78.0.2/16, with
#               10.77.1.0-10.77.255.255, 10.78.128.0/17 and 10.99.0.0/16 routed as local
#               addresses, so that one emulator process can answer from any of
#               them (10.99.x.x lies outside both workstation subnets)
#
# The command runs in <name>-ws; ARDEL_DEV_NS names the device namespace so
# that tests can start the emulator there with `ip netns exec`.
#
# usage: netns-run.sh [--name NAME] [--keep] -- command [args...]
#        netns-run.sh --down NAME
set -euo pipefail

name="ardel-$$"
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --name) name="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    --down) ip netns del "$2-ws" 2>/dev/null || true; ip netns del "$2-dev" 2>/dev/null || true; exit 0 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--name NAME] [--keep] -- command..." >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "netns-run.sh needs root (network namespaces)" >&2; exit 2; }

ws="$name-ws"
dev="$name-dev"

cleanup() {
  ip netns del "$ws" 2>/dev/null || true
  ip netns del "$dev" 2>/dev/null || true
}

# A previous run with the same name that died leaves its namespaces behind.
cleanup
ip netns add "$ws"
ip netns add "$dev"
[ "$keep" = 1 ] || trap cleanup EXIT

# Both ends of every veth pair are created directly inside the namespaces:
# no link ever appears in the machine's own namespace.
ip link add name ws0 netns "$ws" type veth peer name dev0 netns "$dev"
ip link add name ws1 netns "$ws" type veth peer name dev1 netns "$dev"

wsx() { ip netns exec "$ws" "$@"; }
devx() { ip netns exec "$dev" "$@"; }

wsx ip link set lo up
wsx ip addr add 10.77.0.1/16 brd + dev ws0
wsx ip addr add 10.78.0.1/16 brd + dev ws1
wsx ip link set ws0 up
wsx ip link set ws1 up
# Devices outside the workstation's subnets are on the first segment.
wsx ip route add 10.99.0.0/16 dev ws0
# The emulated devices' ranges go through the device end of each link, so
# the workstation needs one neighbour entry per link instead of one per
# device: the kernel's neighbour table (net.ipv4.neigh.default.gc_thresh3,
# 1024 by default and shared by every namespace) would otherwise fill up
# when the program asks a thousand devices in turn, and sends would wait for
# its garbage collection. 10.77.0.x stays on-link: tests use it for absent
# hosts, which must stay unanswered at the link layer.
for net in 10.77.1.0/24 10.77.2.0/23 10.77.4.0/22 10.77.8.0/21 10.77.16.0/20 10.77.32.0/19 10.77.64.0/18 10.77.128.0/17; do
  wsx ip route add "$net" via 10.77.0.2 dev ws0
done
wsx ip route add 10.78.128.0/17 via 10.78.0.2 dev ws1

devx ip link set lo up
devx ip addr add 10.77.0.2/16 brd + dev dev0
devx ip addr add 10.78.0.2/16 brd + dev dev1
devx ip link set dev0 up
devx ip link set dev1 up
devx ip route add local 10.77.128.0/17 dev lo
# 10.77.1.0 to 10.77.127.255 too, for a nearly full /16 (10.77.0.x stays
# free: tests use it for hosts that do not exist).
for net in 10.77.1.0/24 10.77.2.0/23 10.77.4.0/22 10.77.8.0/21 10.77.16.0/20 10.77.32.0/19 10.77.64.0/18; do
  devx ip route add local "$net" dev lo
done
devx ip route add local 10.78.128.0/17 dev lo
devx ip route add local 10.99.0.0/16 dev lo

for ns in "$ws" "$dev"; do
  ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.rp_filter=0
  ip netns exec "$ns" sysctl -qw net.ipv4.conf.default.rp_filter=0
  for ifc in ws0 ws1 dev0 dev1 lo; do
    ip netns exec "$ns" sysctl -qw "net.ipv4.conf.$ifc.rp_filter=0" 2>/dev/null || true
  done
  # Room for bursts of thousands of replies.
  ip netns exec "$ns" sysctl -qw net.core.rmem_max=33554432 2>/dev/null || true
  ip netns exec "$ns" sysctl -qw net.core.wmem_max=33554432 2>/dev/null || true
done
# The emulator answers ARP for the addresses it plays.
devx sysctl -qw net.ipv4.conf.all.arp_ignore=0
# Thousands of emulated devices: the neighbour table of the workstation must hold them.
wsx sysctl -qw net.ipv4.neigh.default.gc_thresh1=32768 2>/dev/null || true
wsx sysctl -qw net.ipv4.neigh.default.gc_thresh2=65536 2>/dev/null || true
wsx sysctl -qw net.ipv4.neigh.default.gc_thresh3=131072 2>/dev/null || true

export ARDEL_WS_NS="$ws"
export ARDEL_DEV_NS="$dev"
set +e
ip netns exec "$ws" "$@"
rc=$?
exit $rc
