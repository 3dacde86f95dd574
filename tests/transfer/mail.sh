# Mail end to end against Dovecot: IMAPS and POP3 with STARTTLS (and the other way round)
# into an empty packet, again into the packet with marks (they survive, nothing doubles), IMAP
# leaving mail unseen, POP3 deleting after the fetch, a connection cut in the middle of a
# fetch, a wrong password, an untrusted certificate and a readable password file.
. "$3/servers.bash"
start_dovecot

PKT=$T/packet
# The command line: the manual, a usage error, missing settings.
expect_rc 0 "$TRANSFER" --help
grep -q "EXIT STATUS" "$T/last.out" || fail "--help has no exit codes"
expect_rc 2 "$TRANSFER" frobnicate
expect_rc 3 "$TRANSFER" --config "$T/none.INI" fetch "$PKT"
list() { "$CLI" list "$PKT" "$1" --format '%K|%I|%s' --utf8; }
count_unique() { list "$1" | cut -d'|' -f2 | sort -u | wc -l; }

# Mail of some size, so that a cut lands inside a message.
make_mail() { # n, subject header value
    {
        printf 'From: Sender <sender@example.org>\r\nTo: tester@example.org\r\n'
        printf 'Subject: %s\r\nMessage-ID: <m%s@example.org>\r\n' "$2" "$1"
        printf 'Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n\r\n'
        for i in $(seq 300); do printf 'line %s of message %s, some text to fill it up\r\n' "$i" "$1"; done
    } >"$T/mail$1"
}
for n in 1 2 3; do make_mail $n "plain $n"; deliver "$T/mail$n"; done
# A Japanese subject as mailers send it (ISO-2022-JP in an encoded word).
make_mail 4 "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?="
deliver "$T/mail4"

cat >"$PELORIN_HOME/transfer.INI" <<INI
[imap box]
Host=127.0.0.1
Port=$IMAPS_PORT
User=tester
PasswordEnv=TEST_PASSWORD
TrustCertificate=$CERT
Area=mail
[pop3 box]
Host=127.0.0.1
Port=$POP3_PORT
Security=starttls
User=tester
PasswordEnv=TEST_PASSWORD
TrustCertificate=$CERT
Area=popmail
INI
export TEST_PASSWORD=secret

# Into an empty packet: IMAP alone first (Dovecot's POP3 marks what it hands out as seen).
sed '/^\[pop3 box\]/,$d' "$PELORIN_HOME/transfer.INI" >"$T/imap.INI"
expect_rc 0 "$TRANSFER" --config "$T/imap.INI" fetch "$PKT"
# Without a terminal the run still says what it brought, a line per mailbox.
grep -q "^imap box: 4 messages" "$T/last.out" || { cat "$T/last.out"; fail "no summary line"; }
# IMAP with AfterFetch=keep leaves the mailbox as it was: still unseen.
unseen=$(curl -s --cacert "$CERT" -u tester:secret "imaps://127.0.0.1:$IMAPS_PORT/INBOX" -X 'SEARCH UNSEEN')
check "mail left unseen ($unseen)" [ "$(echo "$unseen" | tr -dc '0-9 ' | wc -w)" -eq 4 ]
# A connection cut in the middle of a fetch: what came is kept, the retry brings the rest,
# nothing doubles, and the mailbox still looks unread.
start_cutter "$IMAP_PORT" 30000 down
mkdir -p "$T/cut"
cat >"$T/cut/transfer.INI" <<INI
[imap cut]
Host=127.0.0.1
Port=$CUT_PORT
Security=none
User=tester
PasswordEnv=TEST_PASSWORD
Area=mail
INI
expect_rc 1 "$TRANSFER" --config "$T/cut/transfer.INI" fetch "$T/cutpacket"
got=$("$CLI" list "$T/cutpacket" mail --format '%I' 2>/dev/null | wc -l)
{ [ "$got" -ge 1 ] && [ "$got" -lt 4 ]; } || fail "some mail before the cut ($got)"
expect_rc 0 "$TRANSFER" --config "$T/cut/transfer.INI" fetch "$T/cutpacket"
ids=$("$CLI" list "$T/cutpacket" mail --format '%I')
{ [ "$(echo "$ids" | wc -l)" -eq 4 ] && [ "$(echo "$ids" | sort -u | wc -l)" -eq 4 ]; } || fail "all four after the retry"
# The mail the cut connection had fetched is unseen again too.
unseen=$(curl -s --cacert "$CERT" -u tester:secret "imaps://127.0.0.1:$IMAPS_PORT/INBOX" -X 'SEARCH UNSEEN')
check "mail still unseen after the cut ($unseen)" [ "$(echo "$unseen" | tr -dc '0-9 ' | wc -w)" -eq 4 ]

# With POP3 too (which Dovecot lets flag the mail it hands out as seen).
expect_rc 0 "$TRANSFER" fetch "$PKT"
check "counts known after the fetch ($("$CLI" areas "$PKT"))" grep -q '^(4/4) popmail ' <("$CLI" areas "$PKT")
check "a summary line for each account" [ "$(grep -c -e '^imap box: ' -e '^pop3 box: ' "$T/last.out")" -eq 2 ]
check "four mails over IMAP" [ "$(list mail | wc -l)" -eq 4 ]
check "four mails over POP3" [ "$(list popmail | wc -l)" -eq 4 ]
check "the Japanese subject decodes" grep -q '|<m4@example.org>|日本語' <(list mail)
check "AREAS" grep -q "$(printf 'mail\tbn')" "$PKT/AREAS"

# Marks survive the next fetch, which brings one new mail and nothing twice.
"$CLI" mark "$PKT" mail 1 + >/dev/null || fail "mark"
"$CLI" mark "$PKT" mail 2 ' ' >/dev/null || fail "mark"
make_mail 5 "plain 5"; deliver "$T/mail5"
expect_rc 0 "$TRANSFER" fetch "$PKT"
expect_rc 0 "$TRANSFER" --quiet fetch "$PKT"
check "--quiet prints nothing" [ ! -s "$T/last.out" ]
{ [ "$(list mail | wc -l)" -eq 5 ] && [ "$(count_unique mail)" -eq 5 ]; } || fail "five mails, no duplicate"
{ [ "$(list popmail | wc -l)" -eq 5 ] && [ "$(count_unique popmail)" -eq 5 ]; } || fail "POP3 five, no duplicate"
check "marks kept" [ "$(list mail | cut -c1 | tr -d '\n')" = "+ ***" ]

# A wrong password: exit 4, nothing changes. An untrusted certificate: exit 5.
before=$(md5sum "$PKT"/*.MSG)
TEST_PASSWORD=wrong expect_rc 4 "$TRANSFER" fetch "$PKT"
check "packet unchanged after a refused login" [ "$(md5sum "$PKT"/*.MSG)" = "$before" ]
sed 's/^TrustCertificate=.*//' "$PELORIN_HOME/transfer.INI" >"$T/untrusted.INI"
expect_rc 5 "$TRANSFER" --config "$T/untrusted.INI" fetch "$PKT"
grep -q "certificate" "$T/last.out" || fail "the refusal names the certificate"
# A plain password in a file others can read is refused (exit 3) and never printed.
sed 's/^PasswordEnv=.*/Password=secret/' "$PELORIN_HOME/transfer.INI" >"$T/plain.INI"
chmod 644 "$T/plain.INI"
expect_rc 3 "$TRANSFER" --config "$T/plain.INI" fetch "$PKT"
grep -q secret "$T/last.out" && fail "the password was printed"
chmod 600 "$T/plain.INI"
expect_rc 0 "$TRANSFER" --config "$T/plain.INI" fetch "$PKT"
# --verbose traces hide the credentials.
expect_rc 0 "$TRANSFER" --verbose fetch "$PKT"
grep -q " LOGIN \*\*\*\*$" "$T/last.out" || fail "no trace"
grep -q -e secret -e c2VjcmV0 -e AHRlc3RlcgBzZWNyZXQ "$T/last.out" && fail "credentials in the trace"

# IMAP with STARTTLS and POP3 with TLS from the first byte.
cat >"$T/other.INI" <<INI
[imap starttls]
Host=127.0.0.1
Port=$IMAP_PORT
Security=starttls
User=tester
PasswordEnv=TEST_PASSWORD
TrustCertificate=$CERT
Area=imap
[pop3 tls]
Host=127.0.0.1
Port=$POP3S_PORT
Security=tls
User=tester
PasswordEnv=TEST_PASSWORD
TrustCertificate=$CERT
Area=pop3
INI
expect_rc 0 "$TRANSFER" --config "$T/other.INI" fetch "$T/other"
check "IMAP over STARTTLS" [ "$("$CLI" list "$T/other" imap --format '%I' | wc -l)" -eq 5 ]
check "POP3 over TLS" [ "$("$CLI" list "$T/other" pop3 --format '%I' | wc -l)" -eq 5 ]

# POP3 with AfterFetch=delete empties the mailbox once the mail is in the packet.
sed -i 's/^Area=popmail/Area=popmail\nAfterFetch=delete/' "$PELORIN_HOME/transfer.INI"
expect_rc 0 "$TRANSFER" fetch "$PKT"
status=$(curl -s --cacert "$CERT" -u tester:secret "imaps://127.0.0.1:$IMAPS_PORT/" -X 'STATUS INBOX (MESSAGES)')
check "mailbox emptied ($status)" grep -q "MESSAGES 0" <<<"$status"
{ [ "$(count_unique popmail)" -eq 5 ] && [ "$(list popmail | wc -l)" -eq 5 ]; } || fail "POP3 area still five"

# Different messages with one Message-ID are both kept, and a message without one is known by
# its bytes: fetching again, or after the server renumbered its mail (a new UIDVALIDITY), doubles
# nothing.
mail_text() { # file, Message-ID header line or "", body
    { printf 'From: a@example.org\r\nSubject: same id\r\n'; [ -n "$2" ] && printf '%s\r\n' "$2"
      printf '\r\n%s\r\n' "$3"; } >"$1"
}
mail_text "$T/same1" "Message-ID: <same@example.org>" "the first text"
mail_text "$T/same2" "Message-ID: <same@example.org>" "another text"
mail_text "$T/noid" "" "a message without a Message-ID"
maildir_put "$T/same1" "$T/same2" "$T/noid"
expect_rc 0 "$TRANSFER" --config "$T/imap.INI" fetch "$T/same"
bodies() { for i in $(seq "$("$CLI" list "$T/same" mail --format '%I' | wc -l)"); do "$CLI" show "$T/same" mail "$i" | tail -n 1; done | sort | tr '\n' '|'; }
check "both texts of one Message-ID kept ($(bodies))" [ "$(bodies)" = "a message without a Message-ID|another text|the first text|" ]
expect_rc 0 "$TRANSFER" --config "$T/imap.INI" fetch "$T/same"
check "nothing twice" [ "$("$CLI" list "$T/same" mail --format '%I' | wc -l)" -eq 3 ]
validity() { tr -d "\r" <"$T/transfer-state.INI" | sed -n '/^\[imap box\]/,/^\[/s/^UIDValidity=//p'; }
before=$(validity)
sleep 1  # Dovecot's new UIDVALIDITY is the time
rm -f "$T"/dovecot/home/tester/Maildir/dovecot*
expect_rc 0 "$TRANSFER" --config "$T/imap.INI" fetch "$T/same"
check "a new UIDVALIDITY ($before, $(validity))" [ "$(validity)" != "$before" ]
check "nothing twice after renumbering" [ "$(bodies)" = "a message without a Message-ID|another text|the first text|" ]

# POP3 AfterFetch=delete removes only what the packet holds: a message over MaxMessageSize is
# named and stays on the server.
make_mail big "too big"
maildir_put "$T/mailbig"
sed '/^\[imap box\]/,/^\[pop3 box\]/{/^\[pop3 box\]/!d}' "$PELORIN_HOME/transfer.INI" >"$T/pop.INI"
printf 'MaxMessageSize=10K\n' >>"$T/pop.INI"
expect_rc 1 "$TRANSFER" --config "$T/pop.INI" fetch "$T/popsame"
grep -q "larger than MaxMessageSize" "$T/last.out" || { cat "$T/last.out"; fail "the big message is not named"; }
check "POP3 kept both texts of one Message-ID" [ "$("$CLI" list "$T/popsame" popmail --format '%I' | wc -l)" -eq 3 ]
status=$(curl -s --cacert "$CERT" -u tester:secret "imaps://127.0.0.1:$IMAPS_PORT/" -X 'STATUS INBOX (MESSAGES)')
check "only the big message left ($status)" grep -q "MESSAGES 1)" <<<"$status"

# IMAP too leaves a message over MaxMessageSize on the server, names it, and keeps its UID for
# the next run, which brings it (below, with the default limit).
sed 's/^Area=mail$/Area=mail\nMaxMessageSize=10K/' "$T/imap.INI" >"$T/imap-small.INI"
expect_rc 1 "$TRANSFER" --config "$T/imap-small.INI" fetch "$T/many-packet"
grep -q "message UID [0-9]* (1[0-9] KiB) is larger than MaxMessageSize (10 KiB)" "$T/last.out" \
    || { cat "$T/last.out"; fail "the big message is not named"; }
retry() { tr -d "\r" <"$T/transfer-state.INI" | sed -n '/^\[imap box\]/,/^\[/s/^Retry=//p'; }
check "its UID kept for the next run" [ -n "$(retry)" ]

# Ten thousand new messages over IMAPS all arrive, once, and LastUID is the last one stored.
$PY - "$T/many" <<'PYEOF'
import os, sys
os.makedirs(sys.argv[1])
for n in range(10000):
    with open('%s/%05d' % (sys.argv[1], n), 'wb') as f:
        f.write(b'From: bulk@example.org\r\nSubject: bulk %d\r\nMessage-ID: <bulk%d@example.org>\r\n'
                b'\r\n%s\r\n' % (n, n, b'bulk text line\r\n' * (n % 50)))
PYEOF
maildir_put "$T"/many/*
start=$SECONDS
expect_rc 0 "$TRANSFER" --config "$T/imap.INI" fetch "$T/many-packet"
echo "10000 messages fetched in $((SECONDS - start)) s"
got=$("$CLI" list "$T/many-packet" mail --format '%I' | grep -c '^<bulk')
check "10000 messages ($got)" [ "$got" -eq 10000 ]
check "none twice" [ "$("$CLI" list "$T/many-packet" mail --format '%I' | sort -u | wc -l)" -eq 10001 ]
next=$(curl -s --cacert "$CERT" -u tester:secret "imaps://127.0.0.1:$IMAPS_PORT/" -X 'STATUS INBOX (UIDNEXT)' | sed 's/.*UIDNEXT \([0-9]*\).*/\1/' | tr -d '\r\n')
last=$(tr -d "\r" <"$T/transfer-state.INI" | sed -n '/^\[imap box\]/,/^\[/s/^LastUID=//p')
check "LastUID $last is the last UID ($next - 1)" [ "$last" -eq $((next - 1)) ]
check "the big message came too" grep -q '^<mbig@example.org>$' <("$CLI" list "$T/many-packet" mail --format '%I')
check "nothing left to try again" [ -z "$(retry)" ]

# AfterFetch=seen flags what the packet now holds, and nothing else.
make_mail 6 "plain 6"; make_mail 7 "plain 7"
maildir_put "$T/mail6" "$T/mail7"
sed 's/^Area=mail$/Area=mail\nAfterFetch=seen/' "$T/imap.INI" >"$T/imap-seen.INI"
expect_rc 0 "$TRANSFER" --config "$T/imap-seen.INI" fetch "$T/many-packet"
seen=$(curl -s --cacert "$CERT" -u tester:secret "imaps://127.0.0.1:$IMAPS_PORT/INBOX" -X 'SEARCH SEEN' | tr -dc '0-9 ' | wc -w)
check "two flagged seen ($seen)" [ "$seen" -eq 2 ]
echo "mail: ok"
