#!/usr/bin/env bash
# Import, export and custom export of one category of N posts (default
# 100,000), each beside a reference doing the same work from the same start,
# timed the same way (a whole process, from the category file on disk to the
# output file):
#   import                      beside  cat of the file
#   export (flushed)            beside  cp + sync of the copy
#   custom export (flushed)     beside  perl expanding the rule + sync of its output
#   custom export (no flush)    beside  perl expanding the rule
# The category holds characters whose second byte is 0x5C, four-byte
# characters, quotes, backslashes and line breaks, and the outputs are
# compared byte for byte with perl's, whose SQL escaping steps over whole
# GB18030 characters. Prints the minimum and the median of R runs and the
# ratio of the minimums; then the plain export parted into reading the
# category (done at start-up in the window) and the export alone.
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
python3 "$here/gen_library.py" "$work/lib" --posts "$posts" --categories 1 --awkward >/dev/null
data="$work/lib/date"
file="$data/Date1.dat"
mkdir -p "$work/out"
# Both rules with CR LF line breaks, as the dialog passes them.
VELLUM_BENCH_PLAIN_RULE=$(printf '<h2>$title</h2>\r\n<p>$content</p>')
VELLUM_BENCH_SQL_RULE="INSERT INTO posts(title, content) VALUES('\$title','\$content');"
export VELLUM_BENCH_PLAIN_RULE VELLUM_BENCH_SQL_RULE
vellum="$build/bench/bench_exchange"

# The custom export in perl: the same rule over the same file. In SQL mode a
# backslash is doubled only where it stands as a character of its own, never
# as the second byte of a GB18030 character; the tokens are whole characters.
perl_rule() { # sql(0|1) rule out
  perl -e '
    my ($sql, $rule) = @ARGV; local $/ = "\r\n"; binmode STDIN; binmode STDOUT;
    sub esc {
      my ($s, $breaks) = @_;
      # Runs of multi-byte characters are passed over whole, so a second
      # byte 0x5C is never taken for a backslash.
      $s =~ s/((?:[\x81-\xFE](?:[\x30-\x39][\x81-\xFE][\x30-\x39]|[\x40-\x7E\x80-\xFE]))+)|\\/defined $1 ? $1 : "\\\\"/ge
        if index($s, "\\") >= 0;
      $s =~ s/\$1310\$/\\r\\n/g if $breaks;
      $s =~ s/\x27/\x27\x27/g;
      return $s;
    }
    while (my $line = <STDIN>) {
      $line =~ s/\r\n\z//;
      my $i = index($line, q($TCSPLIT$)); next if $i < 0;
      my $t = substr($line, 0, $i); my $c = substr($line, $i + 9);
      if ($sql) { $t = esc($t, 0); $c = esc($c, 1); }
      else { $c =~ s/\$1310\$/\r\n/g; }
      (my $o = $rule) =~ s/\$title/$t/g; $o =~ s/\$content/$c/g;
      print $o, "\r\n";
    }' "$1" "$2" < "$file" > "$3"
}

times=() cpus=() # wall and CPU (user + system, all threads) times in ms of the last measure
measure() { # runs a command $runs times; the disk is idle before each run
  times=(); cpus=()
  for _ in $(seq "$runs"); do
    sync; sleep 0.2
    local s=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" >/dev/null
    local e=$(date +%s%N)
    times+=($(( (e - s) / 1000000 )))
    cpus+=($(awk '{ printf "%d", ($1 + $2) * 1000 }' "$work/cpu"))
  done
}
stat_of() { # wall min, wall median, CPU min
  local sorted=($(printf '%s\n' "${times[@]}" | sort -n))
  local cpu=($(printf '%s\n' "${cpus[@]}" | sort -n))
  echo "${sorted[0]} ${sorted[$(( (runs - 1) / 2 ))]} ${cpu[0]}"
}
ratio() { awk -v r="$1" -v v="$2" 'BEGIN { printf "%.2f", r / (v > 0 ? v : 1) }'; }
row() { # label: vellum command ... -- reference command ...
  local label=$1; shift
  local ours=() ref=()
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done; shift
  ref=("$@")
  measure "${ours[@]}"; read -r vmin vmed vcpu <<<"$(stat_of)"
  measure "${ref[@]}"; read -r rmin rmed rcpu <<<"$(stat_of)"
  ref_min=$rmin
  printf '%-36s %6d %6d %6d   %6d %6d %6d   %6sx %6sx\n' "$label" "$vmin" "$vmed" "$vcpu" \
    "$rmin" "$rmed" "$rcpu" "$(ratio "$rmin" "$vmin")" "$(ratio "$rcpu" "$vcpu")"
}

echo "category: $(du -m "$file" | cut -f1) MB, $posts posts; $runs runs each, times in ms"
echo "wall: minimum and median of the runs; CPU: the least user + system time of a run"
printf '%-36s %20s   %20s   %s\n' "" "Vellum wall    CPU" "reference wall   CPU" "ratio wall, CPU"
row "import | cat" "$vellum" import "$data" -- sh -c 'cat "$0" >/dev/null' "$file"
row "export | cp + sync" "$vellum" export "$data" "$work/out/export.qre" -- \
  sh -c 'cp "$0" "$1" && sync "$1"' "$file" "$work/copy.dat"
export -f perl_rule
export file
pw="$work/perl-plain.txt"; sw="$work/perl-sql.txt"
row "custom plain, flushed | perl + sync" "$vellum" plain "$data" "$work/out/plain.txt" -- \
  bash -c 'perl_rule 0 "$VELLUM_BENCH_PLAIN_RULE" "$0" && sync "$0"' "$pw"
plain_ref_min=$ref_min
row "custom SQL, flushed | perl + sync" "$vellum" sql "$data" "$work/out/sql.txt" -- \
  bash -c 'perl_rule 1 "$VELLUM_BENCH_SQL_RULE" "$0" && sync "$0"' "$sw"
row "custom plain, no flush | perl" "$vellum" plain "$data" "$work/out/plain-nf.txt" --no-flush -- \
  bash -c 'perl_rule 0 "$VELLUM_BENCH_PLAIN_RULE" "$0"' "$pw"
row "custom SQL, no flush | perl" "$vellum" sql "$data" "$work/out/sql-nf.txt" --no-flush -- \
  bash -c 'perl_rule 1 "$VELLUM_BENCH_SQL_RULE" "$0"' "$sw"

# In the window the category was read at start-up; the export command makes
# the user wait only for the export itself.
phases() { # mode output: minimum read and export times of the runs, in ms
  local reads=() exports=()
  for _ in $(seq "$runs"); do
    sync; sleep 0.2
    local line
    line=$(VELLUM_BENCH_PHASES=1 "$vellum" "$1" "$data" "$2" 2>&1 >/dev/null)
    reads+=($(sed -E 's/.*read in ([0-9]+) ms.*/\1/' <<<"$line"))
    exports+=($(sed -E 's/.*exported in ([0-9]+) ms.*/\1/' <<<"$line"))
  done
  echo "$(printf '%s\n' "${reads[@]}" | sort -n | head -1) $(printf '%s\n' "${exports[@]}" | sort -n | head -1)"
}
read -r pread pexport <<<"$(phases plain "$work/out/plain-phases.txt")"
echo "custom plain, flushed, in parts: reading the category $pread ms, the export alone $pexport ms" \
  "($(ratio "$plain_ref_min" "$pexport")x perl + sync)"

same() { cmp -s "$1" "$2" && echo "identical" || echo "DIFFERENT"; }
echo "plain output beside perl's:        $(same "$work/out/plain.txt" "$work/perl-plain.txt"), $(same "$work/out/plain-nf.txt" "$work/perl-plain.txt") (no flush)"
echo "SQL output beside perl's:          $(same "$work/out/sql.txt" "$work/perl-sql.txt"), $(same "$work/out/sql-nf.txt" "$work/perl-sql.txt") (no flush)"
echo "exported data file beside the category file: $(same "$work/out/export.qre" "$file")"
echo "0x5C trail bytes in the category: $(grep -c -aP '[\x81-\xFE]\x5C' "$file") lines; backslashes kept as trail bytes in the SQL output: $(grep -c -aP '[\x81-\xFE]\x5C[^\x5C]' "$work/out/sql.txt") lines"
