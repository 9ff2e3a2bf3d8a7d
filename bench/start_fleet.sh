# Sourced by the shell benchmarks, which define $sim, $work and give_up first.
# start_fleet ARGS...: the simulator with ARGS in the background (sim_pid; its output in
# $work/sim.out and sim.err), once it says every camera's sockets are bound: a search before
# then finds fewer.
start_fleet() {
  : >"$work/sim.out"
  "$sim" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 600); do
    grep -q ' answering' "$work/sim.out" && break
    kill -0 "$sim_pid" 2>/dev/null || give_up "fleetset-sim ended before it answered: $(tail -n 1 "$work/sim.err")"
    sleep 0.1
  done
  grep -q ' answering' "$work/sim.out" || give_up "fleetset-sim did not answer within 60 s"
}
