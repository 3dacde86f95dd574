# Shared by the transfer tests (sourced by mail.sh, news.sh, send.sh; never run alone): a
# private folder, a self-signed certificate for 127.0.0.1, and real servers on free loopback
# ports - Dovecot (IMAP, POP3), an aiosmtpd submission server, INN (innd with its reader, and
# nnrpd for NNTPS and for AUTHINFO) - all stopped again when the test ends, passes or fails
# (trap on EXIT).
#
# Each test script is called as: SCRIPT PELORIN_TRANSFER PELORIN_CLI TESTS_DIR
set -u
TRANSFER=$1
CLI=$2
HERE=$3
PY=/usr/bin/python3  # Debian's interpreter, which has python3-aiosmtpd
T=$(mktemp -d /tmp/pelorin-transfer-test-XXXXXX)
chmod 755 "$T"  # the servers' own users must reach their folders
export PELORIN_HOME=$T/home
mkdir -p "$PELORIN_HOME"
PIDS=()
DOVECOT_CONF=

cleanup() {
    local rc=$?
    [ -n "$DOVECOT_CONF" ] && [ -f "$T/dovecot/run/master.pid" ] \
        && kill "$(cat "$T/dovecot/run/master.pid")" 2>/dev/null
    # innd leaves on its control command (a plain SIGTERM keeps it waiting).
    [ -n "${INNCONF:-}" ] && /usr/lib/news/bin/ctlinnd -t 5 shutdown "test over" >/dev/null 2>&1
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${PIDS[@]}"; do
        for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$p" 2>/dev/null
    done
    [ $rc -ne 0 ] && [ $rc -ne 77 ] && [ -d "$T" ] && { echo "--- logs"; tail -n 20 "$T"/*.log "$T"/inn/log/* 2>/dev/null; }
    rm -rf "$T"
    exit $rc
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
check() { # description, command...
    local what=$1; shift
    "$@" || fail "$what"
}
expect_rc() { # expected code, command...
    local want=$1; shift
    local got=0
    "$@" >"$T/last.out" 2>&1 || got=$?
    [ "$got" -eq "$want" ] || { cat "$T/last.out"; fail "$* exited $got, not $want"; }
}

free_port() {
    $PY -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() { # port
    for _ in $(seq 100); do
        $PY -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),0.2)" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "nothing listens on port $1"
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$T/key.pem" -out "$T/cert.pem" -days 2 \
    -subj /CN=localhost -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" 2>/dev/null \
    || fail "openssl could not make a certificate"
CERT=$T/cert.pem
ME=$(id -un)
MYGROUP=$(id -gn)

# ---- Dovecot: IMAP, IMAPS, POP3, POP3S; user "tester", password "secret" ----
# With TOKEN_URL set (the address of a token-introspection server), tester may sign in with
# an access token too (XOAUTH2, OAUTHBEARER), checked by Dovecot's oauth2 passdb.
start_dovecot() {
    IMAP_PORT=$(free_port); IMAPS_PORT=$(free_port); POP3_PORT=$(free_port); POP3S_PORT=$(free_port)
    local d=$T/dovecot internal=$ME igroup=$MYGROUP login=$ME mailuser=$ME mailgroup=$MYGROUP
    if [ "$(id -u)" -eq 0 ]; then  # Dovecot refuses root for its login and mail processes
        internal=dovecot; igroup=dovecot; login=dovenull; mailuser=dovecot; mailgroup=dovecot
    fi
    mkdir -p "$d/run" "$d/state" "$d/home"
    chown "$mailuser:$mailgroup" "$d/home"
    echo 'tester:{PLAIN}secret::::::' >"$d/passwd"
    DOVECOT_CONF=$d/dovecot.conf
    cat >"$DOVECOT_CONF" <<CONF
protocols = imap pop3
listen = 127.0.0.1
base_dir = $d/run
state_dir = $d/state
log_path = $T/dovecot.log
ssl = yes
ssl_cert = <$CERT
ssl_key = <$T/key.pem
disable_plaintext_auth = no
auth_mechanisms = plain login${TOKEN_URL:+ xoauth2 oauthbearer}
first_valid_uid = 1
first_valid_gid = 1
default_internal_user = $internal
default_internal_group = $igroup
default_login_user = $login
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $d/passwd
}
$([ -n "${TOKEN_URL:-}" ] && printf 'passdb {\n  driver = oauth2\n  args = %s\n}\n' "$d/oauth2.conf.ext")
userdb {
  driver = static
  args = uid=$mailuser gid=$mailgroup home=$d/home/%u
}
mail_location = maildir:~/Maildir
service imap-login {
  chroot =
  inet_listener imap {
    port = $IMAP_PORT
  }
  inet_listener imaps {
    port = $IMAPS_PORT
    ssl = yes
  }
}
service pop3-login {
  chroot =
  inet_listener pop3 {
    port = $POP3_PORT
  }
  inet_listener pop3s {
    port = $POP3S_PORT
    ssl = yes
  }
}
service anvil {
  chroot =
}
CONF
    if [ -n "${TOKEN_URL:-}" ]; then
        cat >"$d/oauth2.conf.ext" <<CONF
introspection_url = $TOKEN_URL
introspection_mode = post
username_attribute = username
active_attribute = active
active_value = true
CONF
    fi
    dovecot -c "$DOVECOT_CONF" || fail "dovecot did not start"
    wait_port "$IMAPS_PORT"
    wait_port "$POP3_PORT"
}

# Puts a message (file) into the test user's INBOX over IMAP.
# (curl's APPEND would flag it \Seen; a new mail is unseen.)
deliver() {
    $PY - "$IMAPS_PORT" "$CERT" "$1" <<'PYEOF' || fail "could not deliver $1"
import imaplib, ssl, sys
context = ssl.create_default_context(cafile=sys.argv[2])
imap = imaplib.IMAP4_SSL('127.0.0.1', int(sys.argv[1]), ssl_context=context)
imap.login('tester', 'secret')
typ, _ = imap.append('INBOX', '', None, open(sys.argv[3], 'rb').read())
imap.logout()
sys.exit(0 if typ == 'OK' else 1)
PYEOF
}

# Puts messages (files) straight into the test user's Maildir, as a delivery agent would: the
# quick way to fill a mailbox with thousands.
maildir_put() {
    local md=$T/dovecot/home/tester/Maildir
    $PY - "$md" "$@" <<'PYEOF' || fail "could not put mail into $md"
import os, sys, time
md, files = sys.argv[1], sys.argv[2:]
for sub in ('new', 'cur', 'tmp'):
    os.makedirs(os.path.join(md, sub), exist_ok=True)
for n, path in enumerate(files):
    name = '%d.P%dQ%d.test' % (time.time(), os.getpid(), n)
    with open(os.path.join(md, 'tmp', name), 'wb') as f:
        f.write(open(path, 'rb').read())
    os.rename(os.path.join(md, 'tmp', name), os.path.join(md, 'new', name))
PYEOF
    chown -R "$(stat -c %U:%G "$T/dovecot/home")" "$T/dovecot/home/tester"
}

# ---- SMTP submission: STARTTLS, then AUTH as tester/secret; messages in $T/smtp/Maildir ----
# With SMTP_TOKEN set, AUTH XOAUTH2 with that token as well.
start_smtp() {
    SMTP_PORT=$(free_port)
    mkdir -p "$T/smtp"
    $PY "$HERE/smtp_server.py" "$SMTP_PORT" "$CERT" "$T/key.pem" "$T/smtp/Maildir" tester secret \
        ${SMTP_TOKEN:+"$SMTP_TOKEN"} >"$T/smtp.log" 2>&1 &
    PIDS+=($!)
    wait_port "$SMTP_PORT"
}

# ---- INN: innd (with its reader on MODE READER, STARTTLS) and nnrpd for NNTPS ----
# Local groups fj.test and local.test; posting allowed from 127.0.0.1.
start_inn() {
    NNTP_PORT=$(free_port); NNTPS_PORT=$(free_port)
    local d=$T/inn user=$ME group=$MYGROUP
    [ "$(id -u)" -eq 0 ] && { user=news; group=news; }
    mkdir -p "$d"/{etc,db,run,log,tmp,http,filter} "$d"/spool/{articles,overview,incoming/bad,outgoing,tmp}
    cp /etc/news/* "$d/etc/" 2>/dev/null
    cp "$CERT" "$T/key.pem" "$d/etc/"
    $PY - "$d" "$NNTP_PORT" "$user" "$group" <<'PYEOF'
import sys
d, port, user, group = sys.argv[1:5]
over = {'pathetc': d+'/etc', 'pathdb': d+'/db', 'pathrun': d+'/run', 'pathlog': d+'/log',
        'pathspool': d+'/spool', 'patharticles': d+'/spool/articles',
        'pathoverview': d+'/spool/overview', 'pathincoming': d+'/spool/incoming',
        'pathoutgoing': d+'/spool/outgoing', 'pathtmp': d+'/tmp', 'pathhttp': d+'/http',
        'pathfilter': d+'/filter', 'port': port, 'bindaddress': '127.0.0.1',
        'domain': 'localdomain', 'pathhost': 'test.localdomain', 'fromhost': 'localdomain',
        'server': '127.0.0.1', 'nnrpdpostport': port, 'runasuser': user, 'runasgroup': group,
        'doinnwatch': 'false', 'pgpverify': 'false', 'mta': '"/bin/true %s"',
        'htmlstatus': 'false', 'logstatus': 'false', 'docnfsstat': 'false',
        'tlscertfile': d+'/etc/cert.pem', 'tlskeyfile': d+'/etc/key.pem',
        'tlscafile': d+'/etc/cert.pem'}
out, seen = [], set()
for line in open('/etc/news/inn.conf'):
    key = line.split(':')[0].strip()
    if key in over and not line.startswith('#'):
        out.append('%s: %s\n' % (key, over[key])); seen.add(key)
    else:
        out.append(line)
out += ['%s: %s\n' % (k, v) for k, v in over.items() if k not in seen]
open(d + '/etc/inn.conf', 'w').writelines(out)
PYEOF
    cat >"$d/etc/readers.conf" <<'CONF'
auth "local" {
    hosts: "127.0.0.1, localhost, ::1, stdin"
    default: "<local>"
}
access "local" {
    users: "<local>"
    newsgroups: "*"
    access: RPA
}
CONF
    printf 'peer ME {\n  hostname: "localhost"\n}\n' >"$d/etc/incoming.conf"
    printf 'ME:*::\n' >"$d/etc/newsfeeds"
    printf '/remember/:11\n*:A:never:never:never\n' >"$d/etc/expire.ctl"
    {
        printf 'control 0000000000 0000000001 n\ncontrol.cancel 0000000000 0000000001 n\n'
        printf 'junk 0000000000 0000000001 n\nfj.test 0000000000 0000000001 y\n'
        printf 'local.test 0000000000 0000000001 y\n'
    } >"$d/db/active"
    printf 'fj.test\tTests.\nlocal.test\tLocal tests.\n' >"$d/db/newsgroups"
    : >"$d/db/active.times"; : >"$d/db/history"
    chmod 600 "$d/etc/key.pem"
    [ "$(id -u)" -eq 0 ] && chown -R news:news "$d"
    export INNCONF=$d/etc/inn.conf
    local as=()
    [ "$(id -u)" -eq 0 ] && as=(su news -s /bin/sh -c)
    if [ ${#as[@]} -gt 0 ]; then
        (cd "$d/db" && "${as[@]}" "INNCONF=$INNCONF /usr/lib/news/bin/makedbz -i -o") \
            || fail "makedbz"
    else
        (cd "$d/db" && /usr/lib/news/bin/makedbz -i -o) || fail "makedbz"
    fi
    /usr/lib/news/bin/innd -f >"$T/innd.log" 2>&1 &
    PIDS+=($!)
    # innd insists on its own user and group; started by another user (not root, not in the
    # news group) it stops at once. The news tests are then skipped, and say why.
    for _ in $(seq 100); do
        if ! kill -0 "${PIDS[-1]}" 2>/dev/null; then
            echo "SKIPPED: innd does not run for $ME here: $(cat "$T/innd.log")"
            exit 77
        fi
        $PY -c "import socket; socket.create_connection(('127.0.0.1',$NNTP_PORT),0.2)" \
            2>/dev/null && break
        sleep 0.1
    done
    wait_port "$NNTP_PORT"
    /usr/lib/news/bin/nnrpd -D -S -f -p "$NNTPS_PORT" -b 127.0.0.1 >"$T/nnrpd.log" 2>&1 &
    PIDS+=($!)
    wait_port "$NNTPS_PORT"
    # A reader that wants AUTHINFO (user tester, password secret): nnrpd with a settings
    # folder of its own whose readers.conf checks a password file.
    NNTP_AUTH_PORT=$(free_port)
    mkdir -p "$d/etc-auth"
    cp "$d"/etc/* "$d/etc-auth/" 2>/dev/null
    sed -i "s|^pathetc:.*|pathetc: $d/etc-auth|" "$d/etc-auth/inn.conf"
    printf 'tester:%s\n' "$(openssl passwd -1 secret)" >"$d/etc-auth/passwd"
    cat >"$d/etc-auth/readers.conf" <<CONF
auth "users" {
    hosts: "127.0.0.1, localhost, ::1"
    auth: "ckpasswd -f $d/etc-auth/passwd"
}
access "users" {
    users: "tester"
    newsgroups: "*"
    access: RPA
}
CONF
    [ "$(id -u)" -eq 0 ] && chown -R news:news "$d/etc-auth"
    INNCONF=$d/etc-auth/inn.conf /usr/lib/news/bin/nnrpd -D -f -p "$NNTP_AUTH_PORT" \
        -b 127.0.0.1 >"$T/nnrpd-auth.log" 2>&1 &
    PIDS+=($!)
    wait_port "$NNTP_AUTH_PORT"
}

# Posts an article (file, LF line ends) to INN directly, as another newsreader would.
inn_post() {
    $PY - "$NNTP_PORT" "$1" <<'PYEOF' || fail "could not post $1"
import socket, sys
s = socket.create_connection(('127.0.0.1', int(sys.argv[1])))
f = s.makefile('rwb')
def answer(expect):
    line = f.readline()
    if not line.startswith(expect):
        sys.exit('unexpected: %r' % line)
answer(b'20')
f.write(b'MODE READER\r\n'); f.flush(); answer(b'20')
f.write(b'POST\r\n'); f.flush(); answer(b'340')
for line in open(sys.argv[2], 'rb').read().split(b'\n')[:-1]:
    f.write((b'.' + line if line.startswith(b'.') else line) + b'\r\n')
f.write(b'.\r\n'); f.flush(); answer(b'240')
f.write(b'QUIT\r\n'); f.flush()
PYEOF
}

# A TCP relay in front of a server that cuts the first connection after N bytes from the
# server (or, with "up", from the client); later connections pass whole.
start_cutter() { # target port, bytes, direction (down|up)
    CUT_PORT=$(free_port)
    : >"$T/cutter.log"
    $PY "$HERE/cutter.py" "$CUT_PORT" "$1" "$2" "${3:-down}" >"$T/cutter.log" 2>&1 &
    PIDS+=($!)
    # Not wait_port: a probe would be the connection that gets cut.
    for _ in $(seq 100); do grep -q ready "$T/cutter.log" && return 0; sleep 0.1; done
    fail "the relay did not start"
}
