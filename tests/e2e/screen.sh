# Functions for the check: steps of gcin-e2e: what gcin shows on the screen
# and what the application saw. Sourced by bash; DISPLAY, CLIENT_X, CLIENT_Y
# and CLIENT_OUT are set.

# The windows gcin has on the screen, one line each: ID X Y WIDTH HEIGHT.
gcin_windows() {
  local id
  for id in $(xdotool search --onlyvisible --class gcin 2>/dev/null); do
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    echo "$id $X $Y $WIDTH $HEIGHT"
  done
}

# The one window gcin shows (the candidate window, or the hint); fails
# unless there is exactly one. Sets X Y WIDTH HEIGHT.
only_gcin_window() {
  local windows
  windows=$(gcin_windows)
  if [[ $(grep -c . <<<"$windows") != 1 ]]; then
    echo "expected one gcin window on the screen, found: ${windows:-none}" >&2
    return 1
  fi
  read -r _ X Y WIDTH HEIGHT <<<"$windows"
}

# No window of gcin on the screen.
no_gcin_window() {
  local windows
  windows=$(gcin_windows)
  [[ -z $windows ]] || { echo "gcin shows: $windows" >&2; return 1; }
}

# The last line the application printed for an event (PREEDIT, ATTRS, TEXT).
last_event() {
  grep "^$1 " "$CLIENT_OUT" | tail -n1 | cut -d' ' -f2-
}

# Moves the pointer and lets the window under it see it enter: GTK gives a
# button press to the widget the pointer entered.
point_at() {
  xdotool mousemove "$1" "$2"
  sleep 0.3
}

# Clicks the middle of row ROW (0-based) of gcin's candidate window, whose
# rows (and its paging row, when it has one) share its height: ROWS is the
# number of rows of that height.
click_candidate() {
  only_gcin_window || return 1
  local row=$1 rows=$2
  point_at $((X + WIDTH / 2)) $((Y + HEIGHT * (2 * row + 1) / (2 * rows)))
  xdotool click 1
}

# Turns the wheel over gcin's candidate window: "down" or "up".
wheel_candidates() {
  only_gcin_window || return 1
  point_at $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  xdotool click "$([[ $1 == down ]] && echo 5 || echo 4)"
}

# Fails with a message unless the condition (an arithmetic expression) holds.
expect() {
  (($1)) || { echo "expected $1 ($2)" >&2; return 1; }
}
