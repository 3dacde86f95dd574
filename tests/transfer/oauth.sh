# Signing in with an access token: Dovecot checks tokens with its oauth2 passdb against a
# token-introspection server of our own (token_server.py), for IMAP and POP3 with XOAUTH2 and
# OAUTHBEARER; the submission server takes XOAUTH2. The token comes from TokenCommand=, never
# shows in a trace, and a token the server refuses is a refused login (exit 4) that leaves the
# packet as it was. Settings that cannot work are refused before any connection (exit 3).
. "$3/servers.bash"

TOKEN=ya29.good-token-for-tester
TOKEN_PORT=$(free_port)
$PY "$HERE/token_server.py" "$TOKEN_PORT" "$TOKEN" tester >"$T/token.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do grep -q ready "$T/token.log" && break; sleep 0.1; done
grep -q ready "$T/token.log" || fail "the token server did not start"
TOKEN_URL=http://127.0.0.1:$TOKEN_PORT/introspect
SMTP_TOKEN=$TOKEN
start_dovecot
start_smtp

for n in 1 2; do
    printf 'From: a@example.org\r\nSubject: token %s\r\nMessage-ID: <t%s@example.org>\r\n\r\nBody %s\r\n' \
        $n $n $n >"$T/mail$n"
done
maildir_put "$T/mail1" "$T/mail2"

# The helper the user would have: prints the token (and a second line that must not count).
printf '#!/bin/sh\nprintf "%%s\\nexpires in 3599\\n" "${TEST_TOKEN-%s}"\n' "$TOKEN" >"$T/token-helper"
chmod 755 "$T/token-helper"
settings() { # auth mechanism
    cat >"$PELORIN_HOME/transfer.INI" <<INI
[imap token]
Host=127.0.0.1
Port=$IMAPS_PORT
User=tester
Auth=$1
TokenCommand=$T/token-helper
TrustCertificate=$CERT
Area=imap
[pop3 token]
Host=127.0.0.1
Port=$POP3_PORT
Security=starttls
User=tester
Auth=$1
TokenCommand=$T/token-helper
TrustCertificate=$CERT
Area=pop3
[smtp]
Host=127.0.0.1
Port=$SMTP_PORT
User=tester
Auth=$1
TokenCommand=$T/token-helper
TrustCertificate=$CERT
INI
}
count() { "$CLI" list "$1" "$2" --format '%I' 2>/dev/null | wc -l; }

for mech in xoauth2 oauthbearer; do
    MECH=$(echo $mech | tr a-z A-Z)
    settings $mech
    rm -f "$PELORIN_HOME"/transfer-state.INI "$PELORIN_HOME"/pop3-*
    : >"$T/token.log"
    expect_rc 0 "$TRANSFER" --verbose fetch "$T/pkt-$mech"
    check "$mech: two mails over IMAP" [ "$(count "$T/pkt-$mech" imap)" -eq 2 ]
    check "$mech: two mails over POP3" [ "$(count "$T/pkt-$mech" pop3)" -eq 2 ]
    grep -q "AUTHENTICATE $MECH \*\*\*\*$" "$T/last.out" || { cat "$T/last.out"; fail "$mech: no IMAP AUTHENTICATE"; }
    grep -q "> AUTH $MECH" "$T/last.out" || { cat "$T/last.out"; fail "$mech: no POP3 AUTH"; }
    grep -q -e good-token -e "$(printf '%s' "$TOKEN" | base64 | cut -c1-12)" "$T/last.out" \
        && fail "$mech: the token is in the trace"
    check "$mech: Dovecot asked about the token" grep -q "introspect good" "$T/token.log"
    # A token the server does not know: a refused login, the packet untouched.
    before=$(cat "$T/pkt-$mech"/*.MSG | md5sum)
    rm -f "$PELORIN_HOME"/transfer-state.INI "$PELORIN_HOME"/pop3-*
    TEST_TOKEN=expired-token expect_rc 4 "$TRANSFER" fetch "$T/pkt-$mech"
    grep -q "\[imap token\].*refused" "$T/last.out" || { cat "$T/last.out"; fail "$mech: IMAP refusal not named"; }
    grep -q "\[pop3 token\].*refused the access token ($MECH" "$T/last.out" || { cat "$T/last.out"; fail "$mech: POP3 refusal not named"; }
    grep -q expired-token "$T/last.out" && fail "$mech: the token was printed"
    check "$mech: packet unchanged" [ "$(cat "$T/pkt-$mech"/*.MSG | md5sum)" = "$before" ]
done

# SMTP with XOAUTH2: the reply goes; with a wrong token it waits (exit 4).
settings xoauth2
OUT=$T/outbound
mkdir -p "$OUT" "$T/packet"
: >"$T/packet/AREAS"
printf '[General]\nOutbound=%s\n' "$OUT" >>"$PELORIN_HOME/transfer.INI"
printf 'From: tester@example.org\nTo: someone@example.org\nSubject: token mail\n\nsent with a token\n' >"$T/reply.txt"
"$CLI" post "$T/packet" "$T/reply.txt" --mail --outbound "$OUT" >/dev/null || fail "pelorin-cli post"
TEST_TOKEN=expired-token expect_rc 4 "$TRANSFER" send
check "the reply waits" [ "$(wc -l <"$OUT/REPLIES")" -eq 1 ]
expect_rc 0 "$TRANSFER" --verbose send
check "REPLIES empty" [ ! -s "$OUT/REPLIES" ]
check "one mail stored" [ "$(ls "$T/smtp/Maildir/new" | wc -l)" -eq 1 ]
grep -q "> AUTH XOAUTH2" "$T/last.out" || { cat "$T/last.out"; fail "no SMTP AUTH XOAUTH2"; }
grep -q "XOAUTH2 accepted" "$T/smtp.log" || fail "the submission server saw no token"

# Settings that cannot work: no TokenCommand, an unknown mechanism, a helper that fails or
# prints nothing, a TrustCertificate file that is not there.
settings xoauth2
sed -i '/^TokenCommand=/d' "$PELORIN_HOME/transfer.INI"
expect_rc 3 "$TRANSFER" fetch "$T/pkt-bad"
grep -q "TokenCommand=" "$T/last.out" || fail "the missing TokenCommand is not named"
settings kerberos
expect_rc 3 "$TRANSFER" fetch "$T/pkt-bad"
grep -q "Auth=kerberos" "$T/last.out" || fail "the unknown Auth is not named"
settings xoauth2
TEST_TOKEN= expect_rc 3 "$TRANSFER" fetch "$T/pkt-bad"
grep -q "TokenCommand printed no access token" "$T/last.out" || { cat "$T/last.out"; fail "an empty token"; }
sed -i "s|^TokenCommand=.*|TokenCommand=false|" "$PELORIN_HOME/transfer.INI"
expect_rc 3 "$TRANSFER" fetch "$T/pkt-bad"
grep -q "TokenCommand failed" "$T/last.out" || fail "a failing helper"
settings xoauth2
sed -i "s|^TrustCertificate=.*|TrustCertificate=$T/gone.pem|" "$PELORIN_HOME/transfer.INI"
expect_rc 3 "$TRANSFER" fetch "$T/pkt-bad"
grep -q "TrustCertificate=$T/gone.pem: No such file" "$T/last.out" || { cat "$T/last.out"; fail "the missing certificate file is not named"; }
echo "oauth: ok"
