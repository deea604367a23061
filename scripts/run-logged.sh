# Sourced by the scripts: run_logged runs a long, chatty step (a build, an
# image build) with its output kept in a log. It says what it does before it
# starts, and when the step fails it shows the log's last lines and ends
# with a one-line reason, returning the step's status. The step may be a
# shell function of the caller.
#
#   run_logged <log file> <what> <command> [argument...]
run_logged() {
  local log=$1 what=$2 status
  shift 2
  mkdir -p "$(dirname "$log")"
  echo "$what (log: $log)"
  set +e
  ("$@") > "$log" 2>&1
  status=$?
  set -e
  [ "$status" -eq 0 ] && return 0
  tail -n 30 "$log" >&2
  echo "FAILED: $what: exit status $status (log: $log)" >&2
  return "$status"
}
