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
# unless there is exactly one. Sets ID X Y WIDTH HEIGHT.
only_gcin_window() {
  local windows
  windows=$(gcin_windows)
  if [[ $(grep -c . <<<"$windows") != 1 ]]; then
    echo "expected one gcin window on the screen, found: ${windows:-none}" >&2
    return 1
  fi
  read -r ID X Y WIDTH HEIGHT <<<"$windows"
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

# The box WIDTHxHEIGHT+X+Y around the given windows, with a margin.
box_around() {
  local id
  for id in "$@"; do
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    echo "$X $Y $WIDTH $HEIGHT"
  done | awk -v m=12 '
    NR == 1 || $1 < x0 { x0 = $1 } NR == 1 || $2 < y0 { y0 = $2 }
    NR == 1 || $1 + $3 > x1 { x1 = $1 + $3 } NR == 1 || $2 + $4 > y1 { y1 = $2 + $4 }
    END { x0 = x0 < m ? 0 : x0 - m; y0 = y0 < m ? 0 : y0 - m
          printf "%dx%d+%d+%d\n", x1 + m - x0, y1 + m - y0, x0, y0 }'
}

# Saves a picture of the application's window and the windows gcin shows,
# the screen's black around them painted a quiet grey, as FILE; or of the
# one window WINDOW alone.
shoot() {
  local file=$1 window=${2:-}
  if [[ -n $window ]]; then
    import -window "$window" -strip "$file"
    return
  fi
  local windows
  windows=("$(awk '/^READY/{print $2; exit}' "$CLIENT_OUT")")
  windows+=($(gcin_windows | cut -d' ' -f1))
  import -window root -crop "$(box_around "${windows[@]}")" png:- |
    convert - +repage -fill '#dfe3e8' -draw 'color 0,0 floodfill' -strip "$file"
}

# How many pixels wide the part of window ID drawn on COLOUR (default blue,
# gcin's cursor colour) is: the lit part of the status line; 0 when none.
lit_width() {
  local id=$1 colour=${2:-blue} lit
  lit=$(mktemp --suffix=.png)
  import -window "$id" png:- |
    convert - -fill black +opaque "$colour" -fill white -opaque "$colour" "$lit"
  if [[ $(convert "$lit" -format '%[fx:maxima]' info:) == 0 ]]; then
    echo 0
  else
    convert "$lit" -trim -format '%w' info:
  fi
  rm -f "$lit"
}

# The words of the module's learnt.txt, one "VALUE READING" per line in file
# order; fails, naming each line, when a line is not "VALUE READING WEIGHT"
# with a weight in (0, 1] (blank lines and "#" comments aside).
learnt_words() {
  awk 'NF == 0 || /^#/ { next }
       NF != 3 || $3 !~ /^[0-9.]+(e-?[0-9]+)?$/ || $3 + 0 <= 0 || $3 + 0 > 1 {
         print "damaged line " NR ": " $0 > "/dev/stderr"; bad = 1; next }
       { print $1, $2 }
       END { exit bad }' "$USER_FILES/learnt.txt"
}

# Fails unless learnt.txt holds exactly these words ("VALUE READING" each),
# in this order, and nothing damaged.
expect_learnt_words() {
  local words
  words=$(learnt_words) || return 1
  [[ $words == "$(printf '%s\n' "$@")" ]] || {
    echo "learnt.txt holds:" >&2
    echo "$words" >&2
    return 1
  }
}
