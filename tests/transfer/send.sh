# Sending end to end: a mail and a news reply composed by pelorin-cli post go to an SMTP
# submission server (STARTTLS, AUTH) and to INN; the servers hold exactly those messages,
# with their Japanese subjects intact as an independent reader (Python's email package)
# decodes them. A wrong password keeps the replies; a connection cut in the middle of a
# send loses nothing and the retry sends each reply once. Japanese names and subjects read
# back whole (blanks included) by a reader that follows RFC 2047; a group reaches every member;
# Date: and Message-ID: are there; a refused recipient is named with the server's words.
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
# Headers as a reader that follows the standards sees them (policy=default: RFC 2047 words
# decoded one by one, blanks between words dropped), for the stored mail whose Message-ID the
# reply file gave it.
mail_fields() { # message-id
    $PY - "$T/smtp/Maildir" "$1" <<'PYEOF'
import email, email.policy, mailbox, sys
box = mailbox.Maildir(sys.argv[1], create=False)
for key in box.keys():
    msg = email.message_from_bytes(box.get_bytes(key), policy=email.policy.default)
    if msg['Message-ID'] == sys.argv[2]:
        for name in ('Subject', 'To', 'Cc', 'Date', 'X-RcptTo'):
            print('%s=%s' % (name, msg[name]))
        print('Defects=%d' % sum(len(msg[n].defects) for n in ('Subject', 'To', 'Cc')))
PYEOF
}
field() { # file, name: the first value of a header field in a reply file
    tail -c +5 "$1" | sed -n "s/^$2: //p" | head -n 1
}
subject='三通目 拒否される前に、とても長い件名を書いてみます ABC 全角　空白 ｶﾀｶﾅ 最後の語'
printf 'From: 送り主 <tester@example.org>\nTo: 山田 太郎 <yamada@example.org>, team: a@example.org, "鈴木, 花子" <b@example.net>;\nCc: (コメント) c@example.org\nSubject: %s\n\n本文\n' \
    "$subject" >"$T/mail3.txt"
post "$T/mail3.txt" --mail
reply=$OUT/$(cut -f1 "$OUT/REPLIES").MSG
id=$(field "$reply" Message-ID)
date=$(field "$reply" Date)
check "the reply has a Message-ID ($id)" [ -n "$id" ]
check "the reply has a Date ($date)" [ -n "$date" ]
check "folded lines stay within 76 columns" [ "$(tail -c +5 "$reply" | awk 'length > 76' | wc -l)" -eq 0 ]
printf 'From: tester@example.org\nNewsgroups: fj.test\nSubject: 山田 太郎 の記事\n\n本文\n' >"$T/news3.txt"
post "$T/news3.txt" --news
news_reply=$OUT/$(sed -n 2p "$OUT/REPLIES" | cut -f1).MSG
news_id=$(field "$news_reply" Message-ID)
expect_rc 0 "$TRANSFER" send
fields=$(mail_fields "$id")
want="Subject=${subject//ｶﾀｶﾅ/カタカナ}
To=山田 太郎 <yamada@example.org>, team: a@example.org, \"鈴木, 花子\" <b@example.net>;
Cc=c@example.org
Date=$date
X-RcptTo=yamada@example.org, a@example.org, b@example.net, c@example.org
Defects=0"
check "mail headers read back whole:
$fields" [ "$fields" = "$want" ]
article=$($PY - "$NNTP_PORT" "$news_id" <<'PYEOF'
import email, email.policy, socket, sys
s = socket.create_connection(('127.0.0.1', int(sys.argv[1])))
f = s.makefile('rwb')
def cmd(line):
    f.write(line.encode() + b'\r\n'); f.flush()
    return f.readline().decode()
f.readline(); cmd('MODE READER')
if cmd('ARTICLE ' + sys.argv[2]).startswith('220'):
    lines = []
    while (line := f.readline()) != b'.\r\n':
        lines.append(line[1:] if line.startswith(b'..') else line)
    msg = email.message_from_bytes(b''.join(lines), policy=email.policy.default)
    print('%s|%s|%s' % (msg['Subject'], msg['Message-ID'], 'date' if msg['Date'] else 'no date'))
cmd('QUIT')
PYEOF
)
check "the article keeps its Message-ID and Date ($article)" [ "$article" = "山田 太郎 の記事|$news_id|date" ]

# A recipient the server refuses: the reply stays, and the message names the command and the
# server's code and text.
printf 'From: tester@example.org\nTo: ok@example.org, refused-user@example.org\nSubject: refused\n\nx\n' >"$T/mail4.txt"
post "$T/mail4.txt" --mail
expect_rc 1 "$TRANSFER" send
grep -q 'RCPT TO:<refused-user@example.org>: 550 5.1.1 <refused-user@example.org>: Recipient address rejected: no such user' "$T/last.out" \
    || { cat "$T/last.out"; fail "the refusal is not named"; }
check "the refused reply waits" [ "$(wc -l <"$OUT/REPLIES")" -eq 1 ]
echo "send: ok"
