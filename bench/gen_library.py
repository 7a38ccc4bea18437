#!/usr/bin/env python3
"""Writes a post library for benchmarks: <dir>/date/Date1.dat ... Date6.dat.

Each file holds N posts, one a line: a title of 10-30 Chinese characters,
"$TCSPLIT$", and 1-4 KB of content whose line breaks are written "$1310$".
GB18030 bytes, CR LF after every line. The same seed gives the same bytes.

With --awkward, titles and contents also hold the bytes that trip up a
byte-wise escaper: characters whose second byte is 0x5C ("\\") such as 乗,
four-byte GB18030 characters, single quotes, backslashes and "$" signs.

usage: gen_library.py <dir> [--posts N] [--seed S] [--categories C] [--awkward]
"""
import argparse
import bisect
import os
import random
import sys

SEPARATOR = "$TCSPLIT$".encode("ascii")
BREAK = "$1310$".encode("ascii")
CRLF = b"\r\n"


def common_hanzi():
    """The 3755 level-1 characters of GB2312 (rows 0xB0-0xD7), in code order."""
    chars = []
    for hi in range(0xB0, 0xD8):
        for lo in range(0xA1, 0xFF):
            if hi == 0xD7 and lo > 0xF9:
                break
            chars.append(bytes((hi, lo)).decode("gb2312"))
    return chars


def awkward_characters():
    """Characters whose GB18030 second byte is 0x5C, four-byte characters
    (CJK Extension B and a few others), and ASCII that SQL escapes."""
    trail_5c = []
    for hi in range(0x81, 0xFF):
        try:
            trail_5c.append(bytes((hi, 0x5C)).decode("gb18030"))
        except UnicodeDecodeError:
            pass
    four_byte = [chr(cp) for cp in range(0x20000, 0x20040)] + ["€", "\u00e4", "\u0101"]
    four_byte = [c for c in four_byte if len(c.encode("gb18030")) == 4] + ["𠮷", "𩸽"]
    return trail_5c + four_byte + ["'", "''", "\\", "\\\\", "$", "it's", "C:\\dir\\"]


def make_stream(rng, hanzi, size, awkward=None):
    """One long content text (already encoded) made of paragraphs joined by
    the line-break token; returns it with the offsets where paragraphs start,
    so that slices never cut a character or a token in two."""
    punctuation = ["，", "，", "。", "、", "；", "！", "？", "：", "“", "”"]
    words = ["http://bbs.example.com/thread-%d.html" % n for n in range(40)]
    words += ["[b]", "[/b]", "[url]", "[/url]", "2024", "QQ", "MP3", "OK", "UBB", " "]
    parts = []
    starts = []
    length = 0
    while length < size:
        starts.append(length)
        pieces = []
        for _ in range(rng.randint(2, 9)):
            pieces.append("".join(rng.choices(hanzi, k=rng.randint(4, 24))))
            if rng.random() < 0.15:
                pieces.append(rng.choice(words))
            if awkward and rng.random() < 0.5:
                pieces.append("".join(rng.choices(awkward, k=rng.randint(1, 3))))
            pieces.append(rng.choice(punctuation))
        para = "".join(pieces).encode("gb18030") + BREAK
        parts.append(para)
        length += len(para)
    return b"".join(parts), starts


def content_slices(rng, stream, starts, count):
    """count contents of 1-4 KB cut from the stream at paragraph starts."""
    limit = len(stream) - 4096
    last_start = bisect.bisect_right(starts, limit) - 1
    out = []
    for _ in range(count):
        begin = starts[rng.randint(0, last_start)]
        want = begin + rng.randint(1024, 4096)
        # End at a paragraph start (before its token is dropped) so the
        # content holds whole characters; keep it at least 1 KB long.
        j = bisect.bisect_left(starts, want)
        end = starts[j] if j < len(starts) else want
        if end - begin > 4096:
            end = starts[j - 1]
        if end - begin < 1024:
            end = starts[bisect.bisect_left(starts, begin + 1024)]
        piece = stream[begin:end]
        if piece.endswith(BREAK):
            piece = piece[: -len(BREAK)]
        out.append(piece)
    return out


def write_category(path, rng, hanzi_gb, stream, starts, posts, chunk=2000, awkward_gb=None):
    tmp = path + ".tmp"
    with open(tmp, "wb", buffering=1 << 20) as f:
        done = 0
        while done < posts:
            n = min(chunk, posts - done)
            contents = content_slices(rng, stream, starts, n)
            lines = []
            for content in contents:
                title = b"".join(rng.choices(hanzi_gb, k=rng.randint(10, 30)))
                if awkward_gb:
                    title += b"".join(rng.choices(awkward_gb, k=rng.randint(1, 4)))
                lines.append(title + SEPARATOR + content + CRLF)
            f.write(b"".join(lines))
            done += n
    os.replace(tmp, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dir", help="program folder; the files go to <dir>/date/")
    parser.add_argument("--posts", type=int, default=100_000, help="posts per category")
    parser.add_argument("--seed", type=int, default=1108)
    parser.add_argument("--categories", type=int, default=6, choices=range(1, 7))
    parser.add_argument("--awkward", action="store_true",
                        help="mix in 0x5C trail bytes, 4-byte characters, quotes and backslashes")
    args = parser.parse_args()
    if args.posts < 0:
        parser.error("--posts must not be negative")

    rng = random.Random(args.seed)
    hanzi = common_hanzi()
    hanzi_gb = [c.encode("gb18030") for c in hanzi]
    awkward = awkward_characters() if args.awkward else None
    awkward_gb = [c.encode("gb18030") for c in awkward] if awkward else None
    stream, starts = make_stream(rng, hanzi, 4 << 20, awkward)

    date = os.path.join(args.dir, "date")
    os.makedirs(date, exist_ok=True)
    total = 0
    for k in range(args.categories):
        path = os.path.join(date, "Date%d.dat" % (k + 1))
        write_category(path, rng, hanzi_gb, stream, starts, args.posts, awkward_gb=awkward_gb)
        total += os.path.getsize(path)
    print("%d x %d posts, %.1f MB in %s" % (args.categories, args.posts, total / 1e6, date),
          file=sys.stderr)


if __name__ == "__main__":
    main()
