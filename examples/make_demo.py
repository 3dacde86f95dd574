#!/usr/bin/env python3
"""Writes the demo SOUP packet in examples/demo/ (run from anywhere; overwrites the packet).

Three areas, rnews framing with no index ("un" + kind letter):
  0000001  mail              the user's mailbox
  0000002  pelorin.test      a newsgroup with a reply thread
  0000003  ml.tabi           a mailing list with a multipart message and a PNG picture, and a
                             message with a JPEG photo (yama.jpg, drawn by the team with libjpeg)
Bodies and headers are ISO-2022-JP; subjects and names are MIME encoded words. The mailbox
also holds two messages of today's mail in UTF-8: one quoted-printable text with Hangul, an
accented name and emoji, and one HTML-only newsletter.
"""
import base64
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "demo")


def jis(text):
    """ISO-2022-JP the way Japanese Windows mailers write it: the CP932 bytes of each
    double-byte character turned arithmetically into its JIS code (so NEC row 13 symbols
    such as circled digits come through), ESC $B ... ESC (J around each run."""
    out, kanji = bytearray(), False
    data = text.encode("cp932")
    i = 0
    while i < len(data):
        b = data[i]
        if (0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC) and i + 1 < len(data):
            s2 = data[i + 1]
            c = (2 * b - (0xE0 if b < 0xA0 else 0x60)) & 0xFF
            if s2 > 0x9E:
                j1, j2 = c, s2 - 0x7E
            else:
                j1, j2 = (c - 1) & 0xFF, s2 - (0x20 if s2 > 0x7E else 0x1F)
            if not kanji:
                out += b"\x1b$B"
                kanji = True
            out += bytes([j1, j2])
            i += 2
            continue
        if b >= 0x80:
            raise ValueError("half-width katakana or an 8-bit byte: write full-width text")
        if kanji:
            out += b"\x1b(J"
            kanji = False
        out.append(b)
        i += 1
    if kanji:
        out += b"\x1b(J"
    return bytes(out)


def word(text):
    """One RFC 2047 encoded word, or plain ASCII as it is."""
    if all(ord(c) < 128 for c in text):
        return text.encode()
    return b"=?ISO-2022-JP?B?" + base64.b64encode(jis(text)) + b"?="


def name_addr(name, addr):
    return word(name) + b" <" + addr.encode() + b">"


def png_8x8():
    """A small red and white checked picture, built by hand."""
    rows = b""
    for y in range(8):
        rows += b"\x00"
        for x in range(8):
            rows += b"\xcc\x22\x22" if (x + y) % 2 else b"\xff\xff\xff"

    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 8, 8, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def message(headers, body_lines):
    out = b""
    for key, value in headers:
        out += key.encode() + b": " + value + b"\n"
    out += b"\n"
    for line in body_lines:
        out += (jis(line) if isinstance(line, str) else line) + b"\n"
    return out


def rnews(messages):
    return b"".join(b"#! rnews %d\n" % len(m) + m for m in messages)


def std_headers(frm, subject, date, msgid, extra=()):
    h = [("From", name_addr(*frm)), ("Subject", word(subject)), ("Date", date.encode()),
         ("Message-ID", ("<%s>" % msgid).encode())]
    h += [(k, v.encode() if isinstance(v, str) else v) for k, v in extra]
    h += [("Mime-Version", b"1.0"), ("Content-Type", b"text/plain; charset=ISO-2022-JP"),
          ("Content-Transfer-Encoding", b"7bit")]
    return h


YAMADA = ("山田 太郎", "taro@example.jp")
SUZUKI = ("鈴木 花子", "hanako@example.jp")
TANAKA = ("田中 一郎", "ichiro@example.net")
SATO = ("佐藤 美咲", "misaki@example.org")
ME = ("ペロリン 利用者", "user@example.jp")

mail = [
    message(std_headers(YAMADA, "来週の打ち合わせについて", "Mon, 30 Nov 2026 09:15:00 +0900",
                        "20261130091500.1@example.jp", [("To", name_addr(*ME))]),
            ["お疲れさまです。山田です。", "", "来週の打ち合わせは火曜日の午後二時からに変更になりました。",
             "場所はいつもの第二会議室です。", "", "よろしくお願いします。", "-- ", "山田 太郎"]),
    message(std_headers(SUZUKI, "Re: 来週の打ち合わせについて", "Mon, 30 Nov 2026 10:02:11 +0900",
                        "20261130100211.2@example.jp",
                        [("To", name_addr(*ME)), ("In-Reply-To", "<20261130091500.1@example.jp>"),
                         ("References", "<20261130091500.1@example.jp>")]),
            ["鈴木です。", "", "山田さん wrote:", "> 来週の打ち合わせは火曜日の午後二時からに変更になりました。",
             "", "了解しました。資料は前日までにお送りします。"]),
    message(std_headers(("Pelorin Notice", "notice@example.jp"), "Welcome to Pelorin",
                        "Tue, 1 Dec 2026 08:00:00 +0900", "welcome.3@example.jp",
                        [("To", name_addr(*ME))]),
            ["This demo packet shows mail, news and a mailing list.",
             "Open the other areas to see threads and an attachment.",
             "Web: https://example.jp/pelorin/ and http://example.jp/old/"]),
    message(std_headers(TANAKA, "忘年会のお知らせ（１２月１８日）", "Wed, 2 Dec 2026 18:30:45 +0900",
                        "20261202183045.4@example.net", [("To", name_addr(*ME))]),
            ["田中です。", "", "今年も忘年会を開きます。", "", "　日時：１２月１８日（金）１９時～",
             "　場所：駅前の居酒屋「さくら」", "　会費：５，０００円", "",
             "出欠を <20261202183045.4@example.net> への返信でお知らせください。"]),
]

news_extra = lambda refs=None: [("Newsgroups", "pelorin.test"), ("Path", "news.example.jp!not-for-mail")] + (
    [("References", refs)] if refs else [])
news = [
    message(std_headers(SATO, "日本語のテスト投稿です", "Thu, 3 Dec 2026 12:00:00 +0900",
                        "n1.20261203@example.org", news_extra()),
            ["佐藤です。ニュースグループへのテスト投稿です。", "記号も試します：①②③、〜、※、→、「」。",
             "", "よろしくお願いします。"]),
    message(std_headers(YAMADA, "Re: 日本語のテスト投稿です", "Thu, 3 Dec 2026 13:10:00 +0900",
                        "n2.20261203@example.jp", news_extra("<n1.20261203@example.org>")),
            ["山田です。", "", "In article <n1.20261203@example.org>,", "佐藤さん wrote:",
             "> 佐藤です。ニュースグループへのテスト投稿です。", "", "ちゃんと読めていますよ。"]),
    message(std_headers(SUZUKI, "Re: 日本語のテスト投稿です", "Thu, 3 Dec 2026 14:22:00 +0900",
                        "n3.20261203@example.jp",
                        news_extra("<n1.20261203@example.org> <n2.20261203@example.jp>")),
            ["鈴木です。", "", "> ちゃんと読めていますよ。", "", "こちらでも問題なく表示されています。"]),
    message(std_headers(SATO, "Re: 日本語のテスト投稿です", "Thu, 3 Dec 2026 15:40:00 +0900",
                        "n4.20261203@example.org", news_extra("<n1.20261203@example.org>")),
            ["皆さんありがとうございます。", "スレッド表示で返信が並ぶか確かめてください。"]),
    message(std_headers(TANAKA, "オフラインで読むときのコツ", "Fri, 4 Dec 2026 09:05:00 +0900",
                        "n5.20261204@example.net", news_extra()),
            ["未読だけを順に読むには Space キーを押していくのが便利です。", "",
             "長い記事は次のページへ送られ、最後まで来ると次の未読記事に移ります。"]),
]

def utf8_word(text):
    return b"=?UTF-8?B?" + base64.b64encode(text.encode("utf-8")) + b"?="


def qp(text):
    """Quoted-printable UTF-8, lines of at most 76 characters with soft breaks."""
    import quopri
    return quopri.encodestring(text.encode("utf-8")).rstrip(b"\n").split(b"\n")


def b64_lines(data):
    enc = base64.b64encode(data)
    return [enc[i:i + 76] for i in range(0, len(enc), 76)]


mail += [
    message([("From", utf8_word("김민지") + b" <minji@example.kr>"),
             ("Subject", utf8_word("ソウルからこんにちは 👋 (서울 출장)")),
             ("Date", b"Sun, 29 Nov 2026 21:10:00 +0900"),
             ("Message-ID", b"<20261129211000.5@example.kr>"), ("To", name_addr(*ME)),
             ("Mime-Version", b"1.0"), ("Content-Type", b"text/plain; charset=UTF-8"),
             ("Content-Transfer-Encoding", b"quoted-printable")],
            qp("山田さん、こんにちは！\n\nソウル出張ではお世話になりました。감사합니다 🙏\n"
               "Müller さんと Zoë さんにもよろしくお伝えください。\n"
               "写真は https://example.kr/photos/seoul に置きました。\n\n-- \n김민지 (Kim Minji)\n")),
    message([("From", b"Pelorin Newsletter <news@example.jp>"),
             ("Subject", utf8_word("今月のお知らせ – Café & Ü")),
             ("Date", b"Sun, 29 Nov 2026 07:00:00 +0900"),
             ("Message-ID", b"<newsletter.6@example.jp>"), ("To", name_addr(*ME)),
             ("Mime-Version", b"1.0"), ("Content-Type", b"text/html; charset=UTF-8"),
             ("Content-Transfer-Encoding", b"base64")],
            b64_lines("""<!DOCTYPE html>
<html><head><title>Newsletter</title>
<style>body { font-family: sans-serif; } .hidden { display: none; }</style>
<script>window.track && window.track("open");</script></head>
<body>
<h1>今月のお知らせ</h1>
<p>いつもご利用ありがとうございます。HTML だけのメールも、読みやすい文章として表示されます。</p>
<ul>
<li>新機能：UTF-8 のメールに対応 &#x2705;</li>
<li>Caf&eacute; &amp; Cr&egrave;me &ndash; 特集記事</li>
<li>한국어 / Ελληνικά / Русский</li>
</ul>
<p>詳しくは <a href="https://example.jp/pelorin/news">ニュースのページ</a> をご覧ください。<br>
配信停止は &lt;news@example.jp&gt; までどうぞ。</p>
</body></html>
""".encode("utf-8"))),
]

boundary = b"=_pelorin_demo_boundary_42"
attachment = jis("持ち物リスト\n・地図\n・雨具\n・おやつ（３００円まで）\n")
multipart_body = [
    b"This is a multi-part message in MIME format.",
    b"",
    b"--" + boundary,
    b"Content-Type: text/plain; charset=ISO-2022-JP",
    b"Content-Transfer-Encoding: 7bit",
    b"",
    jis("旅行の持ち物リストと集合場所の地図を添付します。"),
    jis("当日は駅の東口に朝八時集合です。"),
    b"",
    b"--" + boundary,
    b"Content-Type: text/plain; charset=ISO-2022-JP; name=\"" + word("持ち物.txt") + b"\"",
    b"Content-Transfer-Encoding: base64",
    b"Content-Disposition: attachment; filename=\"motimono.txt\"",
    b"",
] + [base64.b64encode(attachment)[i:i + 76] for i in range(0, len(base64.b64encode(attachment)), 76)] + [
    b"",
    b"--" + boundary,
    b"Content-Type: image/png; name=\"map.png\"",
    b"Content-Transfer-Encoding: base64",
    b"",
] + [base64.b64encode(png_8x8())[i:i + 76] for i in range(0, len(base64.b64encode(png_8x8())), 76)] + [
    b"",
    b"--" + boundary + b"--",
    b"",
]
ml_headers = lambda frm, subj, date, mid, extra=(): std_headers(
    frm, subj, date, mid, [("To", b"tabi@ml.example.jp"), ("X-ML-Name", b"tabi")] + list(extra))
mp_headers = [h for h in ml_headers(SUZUKI, "[tabi:0042] 遠足の持ち物と地図", "Sat, 5 Dec 2026 20:00:00 +0900",
                                    "ml42.20261205@example.jp") if h[0] not in ("Content-Type", "Content-Transfer-Encoding")]
mp_headers.append(("Content-Type", b"multipart/mixed;\n boundary=\"" + boundary + b"\""))
photo_boundary = b"=_pelorin_demo_photo_7"
photo = open(os.path.join(HERE, "yama.jpg"), "rb").read()
photo_body = [
    b"This is a multi-part message in MIME format.",
    b"",
    b"--" + photo_boundary,
    b"Content-Type: text/plain; charset=ISO-2022-JP",
    b"Content-Transfer-Encoding: 7bit",
    b"",
    jis("先週の下見で撮った山の写真を送ります。"),
    jis("頂上にはまだ雪が残っていました。当日は晴れるといいですね。"),
    b"",
    b"--" + photo_boundary,
    b"Content-Type: image/jpeg; name=\"yama.jpg\"",
    b"Content-Transfer-Encoding: base64",
    b"Content-Disposition: attachment; filename=\"yama.jpg\"",
    b"",
] + [base64.b64encode(photo)[i:i + 76] for i in range(0, len(base64.b64encode(photo)), 76)] + [
    b"",
    b"--" + photo_boundary + b"--",
    b"",
]
photo_headers = [h for h in ml_headers(SATO, "[tabi:0044] 下見の写真", "Sun, 6 Dec 2026 21:10:00 +0900",
                                       "ml44.20261206@example.org") if h[0] not in ("Content-Type", "Content-Transfer-Encoding")]
photo_headers.append(("Content-Type", b"multipart/mixed;\n boundary=\"" + photo_boundary + b"\""))
ml = [
    message(ml_headers(TANAKA, "[tabi:0041] 遠足の日程", "Sat, 5 Dec 2026 10:00:00 +0900",
                       "ml41.20261205@example.net"),
            ["田中です。", "遠足は１２月２０日（日）に決まりました。雨天の場合は翌週です。"]),
    message(mp_headers, multipart_body),
    message(ml_headers(YAMADA, "[tabi:0043] Re: 遠足の持ち物と地図", "Sun, 6 Dec 2026 07:45:00 +0900",
                       "ml43.20261206@example.jp",
                       [("In-Reply-To", b"<ml42.20261205@example.jp>"),
                        ("References", b"<ml41.20261205@example.net> <ml42.20261205@example.jp>")]),
            ["山田です。", "地図ありがとうございます。おやつは３００円までですね（笑）"]),
    message(photo_headers, photo_body),
]

os.makedirs(OUT, exist_ok=True)
with open(os.path.join(OUT, "AREAS"), "wb") as f:
    # Descriptions are Shift_JIS, as the packer writes them.
    f.write(b"0000001\tmail\tunm\t" + "受信箱".encode("cp932") + b"\n")
    f.write(b"0000002\tpelorin.test\tunn\n")
    f.write(b"0000003\tml.tabi\tunm\t" + "旅行メーリングリスト".encode("cp932") + b"\n")
for name, msgs in (("0000001.MSG", mail), ("0000002.MSG", news), ("0000003.MSG", ml)):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(rnews(msgs))
print("wrote", OUT, sum(map(len, (mail, news, ml))), "messages")
