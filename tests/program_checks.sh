# Shared by the test scripts of the command-line programs: checks that count
# their failures and go on, runs of the program that keep what it said, and
# the verdict at the end. The script sets `program` before using them.

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Runs the program with the given arguments; keeps its exit code in $status
# and its messages in out.txt and err.txt.
run() {
    "$program" "$@" >out.txt 2>err.txt
    status=$?
}

# expect_error CODE TEXT ARGS...: the run fails with exit code CODE and says TEXT on stderr.
expect_error() {
    local code=$1 text=$2
    shift 2
    run "$@"
    [ "$status" -eq "$code" ] || fail "'$*' exited with $status, expected $code"
    grep -qF -- "$text" err.txt || fail "'$*' did not report \"$text\"; stderr was: $(cat err.txt)"
}

# Ends the script: exit 1 when a check failed.
finish_checks() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "$1: all checks passed"
}
