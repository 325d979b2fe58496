# Sourced by the scripts that run the Windows programs under Wine without a
# screen: starts a virtual X display.
#
#   start_virtual_display SIZE    e.g. 1024x768x24
#
# On success DISPLAY names the new display and xvfb_pid is the server's
# process (the caller stops it); returns 1 when the server did not start.
start_virtual_display() {
  local size="$1" fifo number
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  # -displayfd picks a free display number and writes it once the server is ready.
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  if read -r -t 30 number <"$fifo"; then
    rm -f "$fifo"
    export DISPLAY=":$number"
    return 0
  fi
  rm -f "$fifo"
  return 1
}
