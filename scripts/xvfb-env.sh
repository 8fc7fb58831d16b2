# Sourced by scripts that show windows: starts a private Xvfb display for this
# shell unless one is already given in KAITO_DISPLAY, and stops it on exit.
kaito_start_xvfb() {
  if [ -n "${KAITO_DISPLAY:-}" ]; then
    export DISPLAY="$KAITO_DISPLAY"
    return
  fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    kaito_xvfb_pid=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    export DISPLAY=":$n"
    trap 'kill $kaito_xvfb_pid 2>/dev/null || true' EXIT
    return
  done
  echo "no free X display" >&2
  return 1
}
