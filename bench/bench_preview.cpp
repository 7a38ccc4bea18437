// The preview conversion of a 1 MB post with the twelve rules, beside perl
// running the same rules on the same text in the same run; and find and
// replace-all over 1 MB with 100,000 matches.
//
// Run: <build>/bench/bench_preview [runs]
#include "markup/ReplaceNoCase.h"
#include "markup/UbbToHtml.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A forum post as captured: Chinese and Latin text, blanks, CR LF, and every
// kind of tag the rules know.
QString post(qsizetype bytes) {
    const QString paragraph = QString::fromUtf8(
        "楼主好！今天整理了一下 UBB 的用法，供大家参考。[b]粗体字[/b] 和 "
        "[color=red]红色的字[/color]，"
        "有事请 [email]admin@example.com[/email] 或 [email=admin@example.com]给我写信[/email]。\r\n"
        "图片：[img]http://img.example.com/2006/05/photo_01.jpg[/img]\r\n"
        "链接：[url]http://bbs.example.com/[/url] 与 [url=http://bbs.example.com/thread-1.html]原帖"
        "地址[/url]\r\n"
        "动画：[flash=500,350]http://media.example.com/a.swf[/flash] [flash]http://m.example.com/"
        "b.swf[/flash] [flash=1,2,3]c.swf[/flash]\r\n"
        "视频：[rm=500,350]rtsp://v.example.com/a.rm[/rm] [wmv=500,350]mms://v.example.com/b.wmv"
        "[/wmv]\r\n"
        "The quick brown fox jumps over the lazy dog. 这是一段普通的文字，没有任何标签，"
        "只是为了让帖子看起来更像真实的内容。\r\n\r\n");
    QString text;
    while (text.toUtf8().size() < bytes)
        text += paragraph;
    return text;
}

// A post dense with tags: a tag every few characters, colours and sizes
// nested in each other, many images and links, blanks and line breaks.
QString tagDense(qsizetype bytes) {
    const QStringList pieces = {
        QString::fromUtf8("[color=red]红[/color]"),
        QString::fromUtf8("[color=#00f][size=3]蓝色小字[/size][/color]"),
        QString::fromUtf8("[size=5][color=green]绿[b]粗[/b][/color][/size]"),
        QString::fromUtf8("[b]粗体[/b]"),
        QString::fromUtf8("[img]http://img.example.com/a/%1.jpg[/img]"),
        QString::fromUtf8("[url=http://bbs.example.com/t-%1.html]帖子[/url]"),
        QString::fromUtf8("[url]http://bbs.example.com/%1[/url]"),
        QString::fromUtf8("[email]u%1@example.com[/email]"),
        QString::fromUtf8("[flash=400,300]http://m.example.com/%1.swf[/flash]"),
        QString::fromUtf8("字 "),
        QString::fromUtf8("\r\n"),
        QString::fromUtf8("[color=red"),
        QString::fromUtf8("[/b]"),
    };
    QString text;
    quint32 state = 1108;
    qsizetype utf8 = 0;
    for (int i = 0; utf8 < bytes; ++i) {
        state = state * 1103515245u + 12345u;
        QString piece = pieces[int((state >> 16) % quint32(pieces.size()))];
        if (piece.contains(QLatin1String("%1")))
            piece = piece.arg(i);
        utf8 += piece.toUtf8().size();
        text += piece;
    }
    return text;
}

const char* const kPerl = R"PERL(
use strict; use warnings; use Encode; use Time::HiRes qw(time);
my ($in, $out, $runs) = @ARGV;
open(my $f, '<:raw', $in) or die; local $/; my $raw = <$f>; close $f;
my ($best, $result) = (1e9, '');
for (1 .. $runs) {
  my $t0 = time;
  my $s = decode('UTF-8', $raw);
  $s =~ s{ }{&nbsp;}gis;
  $s =~ s{(\[B\](.[^\[]*)\[\/B\])}{<b>$2</b>}gis;
  $s =~ s{(\[COLOR=(.[^\[]*)\])(.[^\[]*)(\[\/COLOR\])}{<font color=$2>$3</font>}gis;
  $s =~ s{(\[EMAIL\])(.[^\[]*)(\[\/EMAIL\])}{<A HREF="mailto:$2">$2</A>}gis;
  $s =~ s{(\[EMAIL=(.[^\[]*)\])(.[^\[]*)(\[\/EMAIL\])}{<A HREF="mailto:$2" TARGET=_blank>$3</A>}gis;
  $s =~ s{\[img\](.[^\[]*)\[\/img\]}{<img src="$1" border=0>}gis;
  $s =~ s{\[URL\](.[^\[]*)\[\/URL\]}{<a href="$1" target=_blank>$1</a>}gis;
  $s =~ s{\[url=(.[^\[]*)\](.[^\[]*)\[\/url\]}{<a href="$1" target=_blank>$2</a>}gis;
  $s =~ s{\[FLASH\](.[^\[]*)\[\/FLASH\]}{<EMBED src=$1 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>}gis;
  $s =~ s{\[flash=*([0-9]*),*([0-9]*)\](.[^\[]*)\[\/flash\]}{<EMBED src=$3 width=$1 height=$2 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>}gis;
  $s =~ s{\[FLASH=*([0-9]*),*([0-9]*),*([0-9]*)\](.[^\[]*)\[\/FLASH]}{<EMBED src=$4 width=$1 height=$2 quality=high wmode=transparent TYPE="application/x-shockwave-flash"></EMBED>}gis;
  $s =~ s{\r\n}{<br>}gis;
  my $bytes = encode('UTF-8', $s);
  my $t = time - $t0;
  $best = $t if $t < $best;
  $result = $bytes;
}
open(my $o, '>:raw', $out) or die; print $o $result; close $o;
printf "%.3f\n", $best * 1000;
)PERL";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    TSettingsMirror settings;
    settings.UBBUrl = "[url=$1]$2[/url]";
    settings.UBBImg = "[img]$1[/img]";
    settings.UBBFlash = "[flash=$1,$2]$3[/flash]";

    QTemporaryDir dir;
    QFile script(dir.filePath("rules.pl"));
    if (!script.open(QIODevice::WriteOnly))
        return 1;
    script.write(kPerl);
    script.close();
    bool allSame = true;
    std::printf("UBB-to-HTML preview, 12 rules; best of %d runs, perl in the same run\n", runs);
    std::printf("  %-30s %12s %12s %8s  %s\n", "post", "Vellum", "perl", "ratio", "outputs");
    const struct {
        const char* name;
        QString text;
    } posts[] = {{"forum post, 1 MB", post(1 << 20)}, {"dense with tags, 1 MB", tagDense(1 << 20)}};
    for (const auto& p : posts) {
        std::vector<double> times;
        QString html;
        for (int i = 0; i < runs; ++i) {
            const auto t0 = Clock::now();
            html = UbbToHtml(p.text, settings);
            times.push_back(ms(Clock::now() - t0));
        }
        std::sort(times.begin(), times.end());
        QFile in(dir.filePath("post.txt"));
        if (!in.open(QIODevice::WriteOnly))
            return 1;
        in.write(p.text.toUtf8());
        in.close();
        QProcess perl;
        perl.start("perl", {script.fileName(), in.fileName(), dir.filePath("perl.html"),
                            QString::number(runs)});
        perl.waitForFinished(-1);
        const double perlMs = perl.readAllStandardOutput().trimmed().toDouble();
        QFile perlOut(dir.filePath("perl.html"));
        perlOut.open(QIODevice::ReadOnly);
        const bool same = perlOut.readAll() == html.toUtf8();
        allSame = allSame && same;
        std::printf("  %-30s %9.1f ms %9.1f ms %7.2fx  %s\n", p.name, times.front(), perlMs,
                    perlMs / times.front(), same ? "identical" : "DIFFER");
    }

    // Posts full of tag openings that never close, and an opening followed
    // by 100 KB of "]" without a closing part, with another tag's closing
    // part, and with its own behind a "[" the pattern cannot step over: there
    // the pattern backtracks over every position. The conversion stops at its
    // time budget (2 s) where it cannot finish.
    const struct {
        const char* name;
        QString text;
    } worst[] = {
        {"1 MB of \"[\"", QString(1 << 20, u'[')},
        {"1 MB of \"[b]\"", QStringLiteral("[b]").repeated(350000)},
        {"1 MB of \"[color=\"", QStringLiteral("[color=").repeated(150000)},
        {"\"[color=\" + 100 KB of \"]\"", QStringLiteral("[color=") + QString(100000, u']')},
        {"the same + \"[/b]\"", QStringLiteral("[color=") + QString(100000, u']') + "[/b]"},
        {"the same + \"[a[b[/color]\"",
         QStringLiteral("[color=") + QString(100000, u']') + "[a[b[/color]"},
    };
    for (const auto& w : worst) {
        double best = 1e9;
        bool timedOut = false;
        for (int i = 0; i < runs && !timedOut; ++i) {
            const auto t0 = Clock::now();
            try {
                UbbToHtml(w.text, settings);
            } catch (const UbbPreview::RuleTimeout&) {
                timedOut = true;
            }
            best = std::min(best, ms(Clock::now() - t0));
        }
        std::printf("  %-30s best %9.1f ms%s\n", w.name, best,
                    timedOut ? "  (stopped at the time budget)" : "");
    }

    const QString hay = QStringLiteral("abcdefgHiJ").repeated(100000);
    std::vector<double> replaceTimes;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        const QString out = ReplaceAllNoCase(hay, QStringLiteral("hij"), QStringLiteral("<>"));
        replaceTimes.push_back(ms(Clock::now() - t0));
        if (out.size() != 900000)
            return 1;
    }
    std::sort(replaceTimes.begin(), replaceTimes.end());
    std::printf("Find and replace-all, 1,000,000 characters, 100,000 matches: best %.1f ms\n",
                replaceTimes.front());
    return allSame ? 0 : 2;
}
