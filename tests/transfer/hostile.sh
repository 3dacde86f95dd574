# Servers that misbehave (hostile_server.py on 127.0.0.1): a message the IMAP or POP3 server
# refuses is named and skipped, the rest arrive, and the next run fetches it once the server gives it; a
# server that never completes the handshake, a huge literal, an answer without end, silence
# and a trickle - over IMAP and NNTP - end the run with an error that names the server and the
# limit, within the limits of transfer.INI and in bounded memory.
. "$3/servers.bash"

start_hostile() { # imap|nntp, mode, [flag file]
    HOSTILE_PORT=$(free_port)
    : >"$T/hostile.log"
    $PY "$HERE/hostile_server.py" "$HOSTILE_PORT" "$@" >"$T/hostile.log" 2>&1 &
    PIDS+=($!)
    for _ in $(seq 100); do grep -q ready "$T/hostile.log" && return 0; sleep 0.1; done
    fail "the hostile server did not start"
}
settings() { # imap|pop3|news, extra lines...
    local kind=$1; shift
    {
        printf '[General]\nConnectTimeout=2\nIdleTimeout=2\nMessageTimeout=3\n'
        printf '[%s hostile]\nHost=127.0.0.1\nPort=%s\nSecurity=none\n' "$kind" "$HOSTILE_PORT"
        if [ "$kind" != news ]; then printf 'User=tester\nPassword=secret\nArea=mail\n'
        else printf 'Groups=fj.test\n'; fi
        printf '%s\n' "$@"
    } >"$T/hostile.INI"
    rm -f "$T/transfer-state.INI"  # each case from a fresh start
    chmod 600 "$T/hostile.INI"
}
# Runs a fetch that must fail (exit 1) within 20 seconds and 100 MiB, naming the server and
# what went wrong.
must_stop() { # what, pattern the error must hold
    local start=$SECONDS
    # Under AddressSanitizer freed memory is held back (256 MiB by default) and would count as
    # ours; a small quarantine keeps the measure about the program.
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=8 \
        expect_rc 1 /usr/bin/time -v -o "$T/time.out" "$TRANSFER" --config "$T/hostile.INI" fetch "$T/pkt-$1"
    local took=$((SECONDS - start))
    local rss
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$T/time.out")
    [ "$took" -le 20 ] || fail "$1: the run took $took seconds"
    [ "$rss" -le 102400 ] || fail "$1: $rss KiB of memory"
    grep -q '\[.* hostile\] 127.0.0.1:' "$T/last.out" || { cat "$T/last.out"; fail "$1: the server is not named"; }
    grep -q -e "$2" "$T/last.out" || { cat "$T/last.out"; fail "$1: no \"$2\""; }
    kill "${PIDS[-1]}" 2>/dev/null
}
list() { "$CLI" list "$1" mail --format '%I'; }

# A message the server refuses: named, the others fetched, exit 1; the next run takes it.
start_hostile imap refuse "$T/refusing"
settings imap
touch "$T/refusing"
expect_rc 1 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/refused"
grep -q "message UID 2 was refused by the server" "$T/last.out" || { cat "$T/last.out"; fail "UID 2 not named"; }
check "the others fetched" [ "$(list "$T/refused" | tr '\n' ' ')" = "<h1@example.org> <h3@example.org> " ]
check "UID 2 kept for the next run" grep -qx 'Retry=2' <(tr -d '\r' <"$T/transfer-state.INI")
expect_rc 1 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/refused"
check "still two while it is refused" [ "$(list "$T/refused" | wc -l)" -eq 2 ]
rm "$T/refusing"
expect_rc 0 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/refused"
check "UID 2 once it is given" [ "$(list "$T/refused" | sort | tr '\n' ' ')" = "<h1@example.org> <h2@example.org> <h3@example.org> " ]
expect_rc 0 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/refused"
check "nothing twice" [ "$(list "$T/refused" | wc -l)" -eq 3 ]
check "Retry emptied" grep -qx 'Retry=' <(tr -d '\r' <"$T/transfer-state.INI")
kill "${PIDS[-1]}"

# POP3 alike: RETR answered -ERR names the message, the others come, the next run takes it.
start_hostile pop3 refuse "$T/refusing"
settings pop3
touch "$T/refusing"
expect_rc 1 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/pop-refused"
grep -q "message 2 (uid-2) was refused by the server: -ERR \[SYS/TEMP\] message 2 cannot be read now" \
    "$T/last.out" || { cat "$T/last.out"; fail "POP3 message 2 not named"; }
check "POP3: the others fetched" [ "$(list "$T/pop-refused" | tr '\n' ' ')" = "<h1@example.org> <h3@example.org> " ]
rm "$T/refusing"
expect_rc 0 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/pop-refused"
check "POP3: message 2 once it is given" [ "$(list "$T/pop-refused" | tr '\n' ' ')" = "<h1@example.org> <h3@example.org> <h2@example.org> " ]
expect_rc 0 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/pop-refused"
check "POP3: nothing twice" [ "$(list "$T/pop-refused" | wc -l)" -eq 3 ]
kill "${PIDS[-1]}"

# A server whose queue is full never completes the handshake.
start_hostile imap full; settings imap; must_stop connect "no connection within 2 seconds (ConnectTimeout)"

# IMAP: a literal of 4 GB, a listing without end, silence, a trickled greeting and text.
start_hostile imap literal; settings imap; must_stop literal "longer than"
start_hostile imap endless; settings imap; must_stop endless "more messages listed"
start_hostile imap silent; settings imap; must_stop silent "no answer for 2 seconds (IdleTimeout)"
start_hostile imap trickle; settings imap; must_stop trickle "longer than 3 seconds (MessageTimeout)"
start_hostile imap slowtext; settings imap; must_stop slowtext "longer than 3 seconds (MessageTimeout)"
# A literal over MaxMessageSize is dropped as it comes, whatever the time allows.
start_hostile imap literal; settings imap MaxMessageSize=64K MessageTimeout=6
must_stop literal-small "longer than"

# POP3 (through libcurl): silence.
start_hostile imap silent; settings pop3; must_stop pop3-silent "timed out.*IdleTimeout"

# NNTP: silence, a trickle, an overview and an article without end.
start_hostile nntp silent; settings news; must_stop nntp-silent "no answer for 2 seconds"
start_hostile nntp trickle; settings news; must_stop nntp-trickle "MessageTimeout"
start_hostile nntp endless; settings news; must_stop nntp-over "more overview lines"
start_hostile nntp article; settings news MaxMessageSize=64K; must_stop nntp-article "MessageTimeout"

# A summary of an article far longer than what it keeps leaves the rest unread, on a new
# connection that goes on with the next article.
start_hostile nntp big; settings news Summary=fj.test SummaryLines=2
expect_rc 0 "$TRANSFER" --config "$T/hostile.INI" fetch "$T/summary"
check "three summaries" [ "$("$CLI" list "$T/summary" fj.test --format '%I' | wc -l)" -eq 3 ]
"$CLI" show "$T/summary" fj.test 2 >"$T/big-summary"
check "two lines kept" grep -qx 'big line 1 of a long body' "$T/big-summary"
grep -q 'big line 2 ' "$T/big-summary" && fail "more than two lines kept"
check "the rest left unread" grep -q "BODY 2 left unread" "$T/hostile.log"
echo "hostile: ok"
