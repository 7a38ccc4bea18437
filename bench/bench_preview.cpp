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

    const QString text = post(1 << 20);
    std::vector<double> times;
    QString html;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        html = UbbToHtml(text, settings);
        times.push_back(ms(Clock::now() - t0));
    }
    std::sort(times.begin(), times.end());

    QTemporaryDir dir;
    QFile in(dir.filePath("post.txt"));
    QFile script(dir.filePath("rules.pl"));
    if (!in.open(QIODevice::WriteOnly) || !script.open(QIODevice::WriteOnly))
        return 1;
    in.write(text.toUtf8());
    in.close();
    script.write(kPerl);
    script.close();
    QProcess perl;
    perl.start("perl", {script.fileName(), in.fileName(), dir.filePath("perl.html"),
                        QString::number(runs)});
    perl.waitForFinished(-1);
    const double perlMs = perl.readAllStandardOutput().trimmed().toDouble();
    QFile perlOut(dir.filePath("perl.html"));
    perlOut.open(QIODevice::ReadOnly);
    const bool same = perlOut.readAll() == html.toUtf8();

    std::printf("UBB-to-HTML preview, %lld bytes of UTF-8, 12 rules, best of %d runs\n",
                static_cast<long long>(text.toUtf8().size()), runs);
    std::printf("  Vellum (PCRE2 JIT, time-checked)  best %8.1f ms   median %8.1f ms\n",
                times.front(), times[times.size() / 2]);
    std::printf("  perl (same rules, same text)       best %8.1f ms\n", perlMs);
    std::printf("  speed-up over perl: %.1fx; outputs %s\n", perlMs / times.front(),
                same ? "identical" : "DIFFER");

    // Posts full of tag openings that never close: every position is a
    // candidate for several rules.
    for (const QString& worst : {QString(1 << 20, u'['), QStringLiteral("[b]").repeated(350000),
                                 QStringLiteral("[color=").repeated(150000)}) {
        double best = 1e9;
        for (int i = 0; i < runs; ++i) {
            const auto t0 = Clock::now();
            UbbToHtml(worst, settings);
            best = std::min(best, ms(Clock::now() - t0));
        }
        std::printf("  1 MB of \"%s...\": best %.1f ms\n", qPrintable(worst.left(7)), best);
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
    return same ? 0 : 2;
}
