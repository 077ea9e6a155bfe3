# One EXIT trap for several clean-ups: each library adds its own, and all run, last added first.
KELVO_EXIT_ACTIONS=${KELVO_EXIT_ACTIONS:-}
add_exit_trap() {
    KELVO_EXIT_ACTIONS="$1${KELVO_EXIT_ACTIONS:+; $KELVO_EXIT_ACTIONS}"
    trap "$KELVO_EXIT_ACTIONS" EXIT
}
# A script ended by a signal cleans up as well.
trap 'exit 130' INT TERM HUP
