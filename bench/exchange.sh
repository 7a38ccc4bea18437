#!/usr/bin/env bash
# Export, import and custom export of one category of N posts (default
# 100,000), beside perl expanding the same rules over the same category file
# and cp (+ sync of the copy) copying it, all in the same run.
# usage: bench/exchange.sh <release build folder> [--posts N] [--runs R]
set -euo pipefail
build=$(realpath "$1"); shift
posts=100000; runs=5
while [ $# -gt 0 ]; do
  case "$1" in
    --posts) posts=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/gen_library.py" "$work/lib" --posts "$posts" --categories 1 >/dev/null
file="$work/lib/date/Date1.dat"
mkdir -p "$work/out"
export VELLUM_BENCH_PLAIN_RULE='<h2>$title</h2>
<p>$content</p>'
export VELLUM_BENCH_SQL_RULE="INSERT INTO posts(title, content) VALUES('\$title','\$content');"
# Both rules with CR LF line breaks, as the dialog passes them.
VELLUM_BENCH_PLAIN_RULE=$(printf '%s' "$VELLUM_BENCH_PLAIN_RULE" | sed 's/$/\r/' | head -c -1)
export VELLUM_BENCH_PLAIN_RULE

echo "category: $(du -m "$file" | cut -f1) MB, $posts posts"
"$build/bench/bench_exchange" "$file" "$work/out" "$runs"

ms() { # median wall time in ms of a command, over $runs runs
  local t=()
  for _ in $(seq "$runs"); do
    local s=$(date +%s%N); "$@"; local e=$(date +%s%N)
    t+=($(( (e - s) / 1000000 )))
  done
  printf '%s\n' "${t[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}
perl_rule() { # mode rule out: the same expansion in perl
  perl -e '
    my ($sql, $rule) = @ARGV; local $/ = "\r\n"; binmode STDIN; binmode STDOUT;
    while (my $line = <STDIN>) {
      $line =~ s/\r\n\z//;
      my $i = index($line, q($TCSPLIT$)); next if $i < 0;
      my $t = substr($line, 0, $i); my $c = substr($line, $i + 9);
      if ($sql) {
        $t =~ s/\\/\\\\/g; $t =~ s/\x27/\x27\x27/g;
        $c =~ s/\\/\\\\/g; $c =~ s/\$1310\$/\\r\\n/g; $c =~ s/\x27/\x27\x27/g;
      } else { $c =~ s/\$1310\$/\r\n/g; }
      (my $o = $rule) =~ s/\$title/$t/g; $o =~ s/\$content/$c/g;
      print $o, "\r\n";
    }' "$1" "$2" < "$file" > "$3"
}
perl_plain=$(ms perl_rule 0 "$VELLUM_BENCH_PLAIN_RULE" "$work/perl-plain.txt")
perl_sql=$(ms perl_rule 1 "$VELLUM_BENCH_SQL_RULE" "$work/perl-sql.txt")
cp_sync=$(ms sh -c 'cp "$0" "$1" && sync "$1"' "$file" "$work/copy.dat")
cp_read=$(ms cp "$file" "$work/copy2.dat")
printf 'perl, plain text rule          %8d ms\n' "$perl_plain"
printf 'perl, SQL rule                 %8d ms\n' "$perl_sql"
printf 'cp + sync of the copy          %8d ms  (beside export)\n' "$cp_sync"
printf 'cp                             %8d ms  (beside import)\n' "$cp_read"
cmp -s "$work/out/plain.txt" "$work/perl-plain.txt" && echo "plain output identical to perl's" || echo "plain output DIFFERS from perl's"
cmp -s "$work/out/sql.txt" "$work/perl-sql.txt" && echo "SQL output identical to perl's" || echo "SQL output DIFFERS from perl's"
cmp -s "$work/out/export.qre" "$file" && echo "exported data file identical to the category file" || echo "exported data file DIFFERS"
