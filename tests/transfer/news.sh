# News end to end against INN: STARTTLS and NNTPS into an empty packet, again into the packet
# with marks (they survive, nothing doubles), summaries and a SENDME that brings the body, an
# untrusted certificate refused, AUTHINFO with a right and a wrong password, and a connection
# cut in the middle of a fetch.
. "$3/servers.bash"
start_inn

PKT=$T/packet
list() { "$CLI" list "$1" "$2" --format '%K|%I|%s' --utf8; }

article() { # file, group, n, subject, lines
    {
        printf 'From: Poster <poster@example.org>\nNewsgroups: %s\n' "$2"
        printf 'Subject: %s\nMessage-ID: <a%s.%s@example.org>\n\n' "$4" "$3" "$2"
        printf '.leading dot line\n'
        for i in $(seq "$5"); do printf 'body line %s\n' "$i"; done
    } >"$1"
}
for n in 1 2 3; do article "$T/a$n" fj.test $n "plain $n" 400; inn_post "$T/a$n"; done
article "$T/a4" fj.test 4 "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=" 5; inn_post "$T/a4"
for n in 1 2; do article "$T/l$n" local.test $n "local $n" 30; inn_post "$T/l$n"; done

cat >"$PELORIN_HOME/transfer.INI" <<INI
[General]
Packet=$PKT
Outbound=$T/outbound
[news inn]
Host=127.0.0.1
Port=$NNTP_PORT
Security=starttls
TrustCertificate=$CERT
Groups=fj.test, local.test
Summary=local.test
SummaryLines=3
INI

expect_rc 0 "$TRANSFER" fetch
check "four articles" [ "$(list "$PKT" fj.test | wc -l)" -eq 4 ]
check "two summaries" [ "$(list "$PKT" local.test | wc -l)" -eq 2 ]
check "letters un and uc" grep -q "$(printf 'fj.test\tun')" "$PKT/AREAS"
grep -q "$(printf 'local.test\tuc')" "$PKT/AREAS" || fail "summaries in an indexed area"
check "the Japanese subject decodes" grep -q '<a4.fj.test@example.org>|日本語' <(list "$PKT" fj.test)
"$CLI" show "$PKT" fj.test 1 >"$T/show1"
check "dot-stuffing undone" grep -qx '.leading dot line' "$T/show1"
check "whole article" grep -qx 'body line 400' "$T/show1"
"$CLI" show "$PKT" local.test 1 >"$T/summary1"
check "summary cut after three lines" grep -qx 'body line 2' "$T/summary1"
grep -q 'body line 3' "$T/summary1" && fail "summary too long"

# Marks survive; a second and third fetch bring only the new article.
"$CLI" mark "$PKT" fj.test 1 + >/dev/null || fail "mark"
"$CLI" mark "$PKT" fj.test 3 ' ' >/dev/null || fail "mark"
article "$T/a5" fj.test 5 "plain 5" 3; inn_post "$T/a5"
expect_rc 0 "$TRANSFER" fetch
expect_rc 0 "$TRANSFER" fetch
check "five articles, none twice" [ "$(list "$PKT" fj.test | cut -d'|' -f2 | sort -u | wc -l)" -eq 5 ]
check "five rows" [ "$(list "$PKT" fj.test | wc -l)" -eq 5 ]
check "marks kept" [ "$(list "$PKT" fj.test | cut -c1 | tr -d '\n')" = "+* **" ]

# SENDME (as the reader's body request writes it) brings the whole article into its area.
mkdir -p "$T/outbound"
printf 'SENDME\tlocal.test\t1\n' >"$T/outbound/COMMANDS"
expect_rc 0 "$TRANSFER" send
check "COMMANDS done" [ ! -s "$T/outbound/COMMANDS" ]
check "the full text follows the summary" [ "$(list "$PKT" local.test | wc -l)" -eq 3 ]
"$CLI" show "$PKT" local.test 3 >"$T/full1"
check "the body arrived" grep -qx 'body line 30' "$T/full1"

# NNTPS (TLS from the first byte) into another packet.
cat >"$T/nntps.INI" <<INI
[news tls]
Host=127.0.0.1
Port=$NNTPS_PORT
Security=tls
TrustCertificate=$CERT
Groups=fj.test
INI
expect_rc 0 "$TRANSFER" --config "$T/nntps.INI" fetch "$T/tls/AREAS"  # a packet by its AREAS
check "NNTPS articles" [ "$(list "$T/tls" fj.test | wc -l)" -eq 5 ]

# Without TrustCertificate the self-signed server is refused, over STARTTLS and NNTPS alike.
sed 's/^TrustCertificate=.*//' "$T/nntps.INI" >"$T/untrusted.INI"
expect_rc 5 "$TRANSFER" --config "$T/untrusted.INI" fetch "$T/refused"
sed 's/^TrustCertificate=.*//' "$PELORIN_HOME/transfer.INI" >"$T/untrusted2.INI"
expect_rc 5 "$TRANSFER" --config "$T/untrusted2.INI" fetch "$T/refused"
check "nothing fetched from a refused server" [ ! -s "$T/refused/AREAS" ]

# AUTHINFO USER/PASS: the right password reads, a wrong one is exit 4, and the trace hides it.
cat >"$T/auth.INI" <<INI
[news auth]
Host=127.0.0.1
Port=$NNTP_AUTH_PORT
Security=none
User=tester
PasswordEnv=NEWS_PASSWORD
Groups=fj.test
INI
NEWS_PASSWORD=wrong expect_rc 4 "$TRANSFER" --config "$T/auth.INI" fetch "$T/auth"
NEWS_PASSWORD=secret expect_rc 0 "$TRANSFER" --verbose --config "$T/auth.INI" fetch "$T/auth"
check "articles after AUTHINFO" [ "$(list "$T/auth" fj.test | wc -l)" -eq 5 ]
check "the trace masks the password" grep -q '^> AUTHINFO PASS \*\*\*\*$' "$T/last.out"
grep -q secret "$T/last.out" && fail "the password is in the trace"

# A connection cut in the middle of a fetch: the articles that came are kept, the retry
# brings the rest, nothing doubles.
start_cutter "$NNTP_PORT" 12000 down
cat >"$T/cut.INI" <<INI
[news cut]
Host=127.0.0.1
Port=$CUT_PORT
Security=none
Groups=fj.test
INI
expect_rc 1 "$TRANSFER" --config "$T/cut.INI" fetch "$T/cut"
got=$(list "$T/cut" fj.test 2>/dev/null | wc -l)
{ [ "$got" -ge 1 ] && [ "$got" -lt 5 ]; } || fail "some articles before the cut ($got)"
expect_rc 0 "$TRANSFER" --config "$T/cut.INI" fetch "$T/cut"
check "all five after the retry" [ "$(list "$T/cut" fj.test | cut -d'|' -f2 | sort -u | wc -l)" -eq 5 ]
check "none twice" [ "$(list "$T/cut" fj.test | wc -l)" -eq 5 ]
echo "news: ok"
