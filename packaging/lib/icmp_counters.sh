# The ICMP counters of a network namespace, which tell whether a program in it sent echo requests
# and got replies without any look at the program itself.  Sourced after scripts/lib/common.sh.

# tessaly_icmp_counter NAMESPACE NAME: prints the namespace's counter NAME (OutEchos, InEchoReps,
# ...) from its /proc/net/snmp, whose "Icmp:" lines are one of names and one of values.
tessaly_icmp_counter() {
    ip netns exec "$1" awk -v name="$2" '
        $1 == "Icmp:" && !names { for (i = 2; i <= NF; i++) column[$i] = i; names = 1; next }
        $1 == "Icmp:" && names { print $column[name]; exit }' /proc/net/snmp
}

# tessaly_echoes_answered NAMESPACE: whether an echo request went out there and a reply came in.
tessaly_echoes_answered() {
    local sent received
    sent=$(tessaly_icmp_counter "$1" OutEchos) || return 1
    received=$(tessaly_icmp_counter "$1" InEchoReps) || return 1
    ((sent >= 1 && received >= 1))
}

# tessaly_process_ended PID: whether the process has ended; a child not yet reaped counts.
tessaly_process_ended() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}
