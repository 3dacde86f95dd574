#!/usr/bin/env bash
# Fetching a mailbox over IMAPS, timed as whole programs in one run with hyperfine:
# `pelorin-transfer fetch` into an empty packet next to `mbsync` pulling the same mailbox into
# an empty Maildir, from a Dovecot started here on 127.0.0.1 (its own ports and folders, the
# test helpers of tests/transfer/servers.bash), for 1,000 and 10,000 generated messages. Prints
# each median and the ratios pelorin-transfer / mbsync, with mbsync's default flushing and
# without it (the goal is at most 1.0). Run through
# `tools/dev bench transfer`; needs dovecot, isync (mbsync) and hyperfine.
#
#   bench/transfer/run.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# servers.bash takes the test scripts' arguments, makes its folder $T and stops what it
# started on exit.
set -- "$build/src/pelorin-transfer" "$build/src/pelorin-cli" "$root/tests/transfer"
set +e  # the helpers report failures themselves
. "$root/tests/transfer/servers.bash"
set -e
start_dovecot

cat >"$PELORIN_HOME/transfer.INI" <<INI
[imap bench]
Host=127.0.0.1
Port=$IMAPS_PORT
User=tester
Password=secret
TrustCertificate=$CERT
Area=mail
INI
chmod 600 "$PELORIN_HOME/transfer.INI"
# mbsync checks the certificate's DNS name only; the test certificate names localhost too.
cat >"$T/mbsyncrc" <<RC
IMAPAccount bench
Host localhost
Port $IMAPS_PORT
User tester
Pass secret
SSLType IMAPS
CertificateFile $CERT

IMAPStore far
Account bench

MaildirStore near
Path $T/near/
Inbox $T/near/INBOX

Channel bench
Far :far:
Near :near:
Patterns INBOX
Create Near
Sync Pull
SyncState *
RC
# mbsync flushes each message by default; pelorin-transfer flushes a batch of up to 500. The
# same run also times mbsync without its flushes, the harder baseline.
{ echo "FSync no"; cat "$T/mbsyncrc"; } >"$T/mbsyncrc-nosync"

# Messages of a few KiB (10 to 120 lines), each with its own Message-ID (and text: the same
# text twice would be one message to pelorin-transfer).
generate() { # first number, count, folder
    $PY - "$1" "$2" "$3" <<'PY'
import os, sys
first, count, folder = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
os.makedirs(folder)
for n in range(first, first + count):
    body = b''.join(b'line %d of message %d, text to fill the message up\r\n' % (i, n)
                    for i in range(10 + n % 111))
    with open('%s/%06d' % (folder, n), 'wb') as f:
        f.write(b'From: Bench <bench@example.org>\r\nTo: tester@example.org\r\n'
                b'Subject: bench %d\r\nMessage-ID: <bench%d@example.org>\r\n'
                b'Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n\r\n%s' % (n, n, body))
PY
}

results=()
have=0
for count in 1000 10000; do
    generate "$have" $((count - have)) "$T/gen$count"
    maildir_put "$T/gen$count"/*
    have=$count
    rm -rf "$T/gen$count"
    # Both work here before they are timed.
    rm -rf "$T/packet" "$PELORIN_HOME/transfer-state.INI" "$T/near"
    mkdir -p "$T/near"
    mbsync -q -c "$T/mbsyncrc" bench || fail "mbsync could not fetch the mailbox"
    "$TRANSFER" fetch "$T/packet" || fail "pelorin-transfer could not fetch the mailbox"
    got=$("$CLI" list "$T/packet" mail --format '%I' | wc -l)
    [ "$got" -eq "$count" ] || fail "pelorin-transfer fetched $got of $count"
    # Each run starts from nothing: an empty packet and state, an empty Maildir and state.
    hyperfine --warmup 1 --runs "$runs" --style basic --export-json "$T/$count.json" \
        --prepare "rm -rf '$T/packet' '$PELORIN_HOME/transfer-state.INI' '$T/near'; mkdir -p '$T/near'" \
        --command-name "pelorin-transfer ($count)" "'$TRANSFER' fetch '$T/packet'" \
        --command-name "mbsync ($count)" "mbsync -q -c '$T/mbsyncrc' bench" \
        --command-name "mbsync, FSync no ($count)" "mbsync -q -c '$T/mbsyncrc-nosync' bench"
    results+=("$($PY - "$T/$count.json" "$count" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))['results']
ours, theirs, nosync = r[0]['median'], r[1]['median'], r[2]['median']
print('%6s messages: pelorin-transfer %.3f s, mbsync %.3f s (ratio %.2f), '
      'mbsync without fsync %.3f s (ratio %.2f)'
      % (sys.argv[2], ours, theirs, ours / theirs, nosync, ours / nosync))
PY
)")
done
printf '%s\n' "${results[@]}"
