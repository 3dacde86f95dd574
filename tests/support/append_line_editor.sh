#!/bin/sh
# A stand-in for the user's text editor (tests and the walk-through only). It is started as the
# external editor is, with the file to edit as its last argument, and appends one known
# Japanese line to that file, in UTF-8 with CR LF, as a Linux editor would save it:
#
#     テスト編集者が追記した行です。
#
# When PELORIN_TEST_EDITOR_HOLD names a file, the editor then stays open until that file
# exists, so that a test can act while the editor runs.
for file in "$@"; do :; done
[ -n "${file:-}" ] || exit 2
printf '%s\r\n' 'テスト編集者が追記した行です。' >>"$file"
if [ -n "${PELORIN_TEST_EDITOR_HOLD:-}" ]; then
    while [ ! -e "$PELORIN_TEST_EDITOR_HOLD" ]; do sleep 0.05; done
fi
exit 0
