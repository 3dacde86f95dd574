# Sending end to end: a mail and a news reply composed by pelorin-cli post go to an SMTP
# submission server (STARTTLS, AUTH) and to INN; the servers hold exactly those messages,
# with their Japanese subjects intact as an independent reader (Python's email package)
# decodes them. A wrong password keeps the replies; a connection cut in the middle of a
# send loses nothing and the retry sends each reply once.
. "$3/servers.bash"
start_smtp
start_inn

OUT=$T/outbound
mkdir -p "$OUT" "$T/packet"
: >"$T/packet/AREAS"
cat >"$PELORIN_HOME/transfer.INI" <<INI
[General]
Outbound=$OUT
[smtp]
Host=127.0.0.1
Port=$SMTP_PORT
User=tester
PasswordEnv=TEST_PASSWORD
TrustCertificate=$CERT
[news inn]
Host=127.0.0.1
Port=$NNTP_PORT
Security=none
Groups=fj.test
Post=Y
INI
export TEST_PASSWORD=secret

post() { # file, --mail|--news
    "$CLI" post "$T/packet" "$1" "$2" --outbound "$OUT" >/dev/null || fail "pelorin-cli post $1"
}
# The subjects as an independent reader sees them: every stored mail, every article of fj.test.
mail_subjects() {
    $PY - "$T/smtp/Maildir" <<'PYEOF'
import email, email.header, mailbox, sys
for key, msg in sorted(mailbox.Maildir(sys.argv[1], create=False).items()):
    print(str(email.header.make_header(email.header.decode_header(msg['Subject']))),
          '|', 'bcc' if msg['Bcc'] else '', '|', msg.get_payload(decode=True).decode('iso-2022-jp').splitlines()[-1])
PYEOF
}
news_subjects() {
    $PY - "$NNTP_PORT" <<'PYEOF'
import email, email.header, socket, sys
s = socket.create_connection(('127.0.0.1', int(sys.argv[1])))
f = s.makefile('rwb')
def cmd(line):
    if line:
        f.write(line.encode() + b'\r\n'); f.flush()
    return f.readline().decode()
cmd(''); cmd('MODE READER')
count, low, high = map(int, cmd('GROUP fj.test').split()[1:4])
for n in range(low, high + 1) if count else []:
    if not cmd('ARTICLE %d' % n).startswith('220'):
        continue
    lines = []
    while True:
        line = f.readline()
        if line == b'.\r\n':
            break
        lines.append(line[1:] if line.startswith(b'..') else line)
    msg = email.message_from_bytes(b''.join(lines))
    print(str(email.header.make_header(email.header.decode_header(msg['Subject']))))
cmd('QUIT')
PYEOF
}

printf 'From: tester@example.org\nTo: Someone <someone@example.org>\nBcc: hidden@example.org\nSubject: 日本語の件名です\n\n本文です。\n.dot line\n最後の行\n' >"$T/mail.txt"
printf 'From: tester@example.org\nNewsgroups: fj.test\nSubject: ニュースの件名\n\nニュース本文\n' >"$T/news.txt"
post "$T/mail.txt" --mail
post "$T/news.txt" --news
check "two replies waiting" [ "$(wc -l <"$OUT/REPLIES")" -eq 2 ]

# A wrong password: exit 4, the mail reply stays (the news reply goes).
TEST_PASSWORD=wrong expect_rc 4 "$TRANSFER" send
check "the mail reply waits" [ "$(wc -l <"$OUT/REPLIES")" -eq 1 ]
grep -q "$(printf '\tmail\t')" "$OUT/REPLIES" || fail "it is the mail that waits"
check "no mail stored" [ -z "$(ls "$T/smtp/Maildir/new" 2>/dev/null)" ]

expect_rc 0 "$TRANSFER" send
check "REPLIES empty" [ ! -s "$OUT/REPLIES" ]
check "reply files removed" [ -z "$(ls "$OUT" | grep -iv '^replies$' | grep -v '^\.')" ]
check "exactly one mail ($(mail_subjects))" [ "$(mail_subjects)" = "日本語の件名です |  | 最後の行" ]
check "exactly one article ($(news_subjects))" [ "$(news_subjects)" = "ニュースの件名" ]

# A connection cut in the middle of each send (after the first KiB from us): nothing is
# lost, and the retry sends each reply exactly once.
{
    printf 'From: tester@example.org\nTo: someone@example.org\nSubject: 二通目\n\n'
    for i in $(seq 500); do printf 'line %s\n' "$i"; done
    printf '二通目の最後\n'
} >"$T/mail2.txt"
{
    printf 'From: tester@example.org\nNewsgroups: fj.test\nSubject: 二本目\n\n'
    for i in $(seq 500); do printf 'line %s\n' "$i"; done
} >"$T/news2.txt"
post "$T/mail2.txt" --mail
post "$T/news2.txt" --news
start_cutter "$SMTP_PORT" 3000 up
SMTP_CUT=$CUT_PORT
start_cutter "$NNTP_PORT" 1000 up
sed -e "s/^Port=$SMTP_PORT/Port=$SMTP_CUT/" -e "s/^Port=$NNTP_PORT/Port=$CUT_PORT/" \
    "$PELORIN_HOME/transfer.INI" >"$T/cut.INI"
expect_rc 1 "$TRANSFER" --config "$T/cut.INI" send
check "both replies wait" [ "$(wc -l <"$OUT/REPLIES")" -eq 2 ]
check "still one mail" [ "$(mail_subjects | wc -l)" -eq 1 ]
check "still one article" [ "$(news_subjects | wc -l)" -eq 1 ]
expect_rc 0 "$TRANSFER" --config "$T/cut.INI" send
check "REPLIES empty after the retry" [ ! -s "$OUT/REPLIES" ]
check "two mails ($(mail_subjects))" [ "$(mail_subjects | tail -n +1 | sort)" = "$(printf '二通目 |  | 二通目の最後\n日本語の件名です |  | 最後の行' | sort)" ]
check "two articles" [ "$(news_subjects | sort)" = "$(printf 'ニュースの件名\n二本目' | sort)" ]
echo "send: ok"
