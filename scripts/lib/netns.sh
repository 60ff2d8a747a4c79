# Network namespaces for running the program where it can reach nothing but what we give it.
# Every namespace made here is removed when the script ends.  Sourced after common.sh.

# A name for a namespace of this script, unique among the scripts running now.
tessaly_netns_name() { printf 'tsy%s%s' "$1" "$$"; }

# Makes namespace NAME with only its loopback interface up: 127.0.0.0/8 answers, every other
# address is unreachable.  Names resolve from a hosts file of its own that knows localhost, and
# the resolver it names is an address that does not exist, so no query leaves the namespace.
tessaly_netns_loopback() {
    local name=$1
    tessaly_as_root ip netns add "$name" || return 1
    tessaly_on_exit tessaly_netns_remove "$name"
    tessaly_as_root mkdir -p "/etc/netns/$name"
    printf '127.0.0.1 localhost\n::1 localhost\n' | tessaly_as_root tee "/etc/netns/$name/hosts" >/dev/null
    printf 'nameserver 10.200.255.53\noptions timeout:1 attempts:1\n' |
        tessaly_as_root tee "/etc/netns/$name/resolv.conf" >/dev/null
    tessaly_as_root ip -n "$name" link set lo up
    tessaly_as_root ip -n "$name" route add unreachable 10.200.0.0/16
}

tessaly_netns_remove() {
    local name=$1
    tessaly_as_root ip netns del "$name" 2>/dev/null || true
    # Only this namespace's own files: /etc/netns itself is shared with others.
    [[ -n $name ]] && tessaly_as_root rm -rf "/etc/netns/$name"
}
