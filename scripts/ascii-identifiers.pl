#!/usr/bin/env perl
# Every identifier of the C++ sources is ASCII: Chinese belongs in what the
# user reads (string literals) and in comments, where tools expect it; ctags,
# clang-format and debuggers misread names outside that range. Prints each
# offending line and fails when there is one.
use strict;
use warnings;
use utf8;
binmode STDOUT, ':encoding(UTF-8)';

my $bad = 0;
for my $file (@ARGV) {
  open my $in, '<:encoding(UTF-8)', $file or die "$file: $!\n";
  local $/;
  my $text = <$in>;
  close $in;
  # Comments, raw strings, strings and character literals become blanks of
  # the same lines, so that the line numbers stay right.
  $text =~ s{(//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(.*?\)\2"|"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*')}
            {my $m = $1; $m =~ s/[^\n]//g; $m}gse;
  my $line = 0;
  for (split /\n/, $text, -1) {
    ++$line;
    next unless /[^\x00-\x7F]/;
    print "$file:$line: a name that is not ASCII: $_\n";
    $bad = 1;
  }
}
exit $bad;
