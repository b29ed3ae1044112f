# Sourced by the scripts: build_dir NAME prints the build folder to use for
# NAME (build, build-thread, ...). That is NAME itself, unless it belongs to
# another user (root, say): then NAME-USER, so that builds of root and of a
# normal user do not trip over each other.
build_dir() {
  local name=$1
  if [[ ! -w . ]]; then
    echo "$(id -un) may not write in this checkout ($PWD): build in a clone of your own." >&2
    return 1
  fi
  if [[ -e "$name" && ! -O "$name" ]]; then
    echo "$name-$(id -un)"
  else
    echo "$name"
  fi
}

# The window needs a desktop session (or an explicit Qt platform).
need_display() {
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "The KALMET Configuration Tool needs a desktop session: no display was found (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
    exit 1
  fi
}
